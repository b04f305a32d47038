#include "app/ErrorDisplay.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace qel::app {

QString errorDisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        shown += '.';
    return shown;
}

void showDefaultError(QWidget* parent, const std::string& text, const std::string& detail) {
    QMessageBox box(QMessageBox::Critical, QCoreApplication::applicationName(),
                    errorDisplayText(text), QMessageBox::Ok, parent);
    box.setObjectName("defaultErrorBox");
    if (!detail.empty())
        box.setInformativeText(QString::fromStdString(detail));
    box.exec();
}

void showKbdError(QWidget* parent, const std::string& text, const std::string& step,
                  const std::string& detail) {
    QMessageBox box(QMessageBox::NoIcon, "ERROR", QString::fromStdString(text), QMessageBox::Ok,
                    parent);
    box.setObjectName("kbdErrorBox");
    if (!detail.empty())
        box.setInformativeText(QString::fromStdString(detail));
    if (!step.empty())
        box.setDetailedText(QString::fromStdString(step));
    box.exec();
}

} // namespace qel::app
