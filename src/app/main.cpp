// Program entry. The main window with its lists and workflows is still being
// built; for now the program opens a window with the data type selector.

#include "core/Catalogue.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QVBoxLayout>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("TQ-7400 Data Manager");

    QMainWindow window;
    window.setWindowTitle("TQ-7400 Music Data Management Software");

    auto* central = new QWidget(&window);
    auto* layout = new QVBoxLayout(central);
    auto* types = new QComboBox(central);
    for (int t = 0; t < qel::type::selectableCount; ++t)
        types->addItem(QString::fromLatin1(qel::typeLabels[t]), t);
    layout->addWidget(types);
    layout->addWidget(new QLabel("The PC and keyboard lists are not available yet.", central));
    layout->addStretch();
    window.setCentralWidget(central);
    window.resize(640, 400);
    window.show();
    return QApplication::exec();
}
