// The window program: the application title, the program's one MIDI driver
// (the system's devices and the virtual keyboard), and the main window.

#include "app/ErrorDisplay.h"
#include "app/FormMain.h"
#include "platform/files/ProcessInfo.h"
#include "platform/files/TemporaryFiles.h"
#include "platform/registry/Registry.h"
#include "workflows/ProgramMidi.h"

#include <QApplication>
#include <exception>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("TQ-7400 Data Manager");
    QApplication::setWindowIcon(QIcon(":/icons/tq7400.png"));
    // A run that was killed could not remove its private folders; the next one does.
    qel::platform::removeLeftoverPrivateFolders(qel::platform::temporaryFolder());
    try {
        const QString settings = qel::registry::Registry::defaultLocation();
        // --paced: the virtual keyboard answers at the MIDI wire's speed, as a
        // real one does, so that long transfers can be tried without one.
        const bool paced = QApplication::arguments().contains(QStringLiteral("--paced"));
        qel::app::FormMain window(
            qel::makeProgramMidiEnvironment(qel::makeProgramMidiDriver(paced)), settings);
        window.formCreate();
        window.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        qel::app::showDefaultError(nullptr, error.what());
        return 1;
    }
}
