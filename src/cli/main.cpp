// tq7400: the keyboard's data manager on the command line.

#include "cli/CommandLine.h"
#include "cli/CommandRunner.h"
#include "cli/Interrupt.h"
#include "cli/StandardOutput.h"
#include "cli/TerminalView.h"
#include "core/NameText.h"
#include "platform/files/ProcessInfo.h"
#include "platform/files/TemporaryFiles.h"

#include <QCoreApplication>
#include <exception>
#include <iostream>

namespace {

// One line saying what is wrong, and where to read more: the whole help
// would push the line out of sight.
int usageError(const qel::cli::UsageError& error) {
    std::cerr << "tq7400: " << qel::terminalText(error.what()) << "\n"
              << "Try 'tq7400 --help' for more information.\n";
    return 2;
}

int run(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("TQ-7400 Data Manager");
    // A run that was killed could not remove its private folder; the next one does.
    qel::platform::removeLeftoverPrivateFolders(qel::platform::temporaryFolder());
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const std::string& word : arguments)
        if (word == "--help" || word == "-h") {
            std::cout << qel::cli::usageText();
            return 0;
        }
    qel::cli::CliOptions options;
    try {
        options = qel::cli::parseCommandLine(arguments);
    } catch (const qel::cli::UsageError& error) {
        return usageError(error);
    }
    qel::cli::catchInterrupts();
    try {
        qel::cli::CommandRunner runner(options, std::cout);
        return runner.run();
    } catch (const qel::cli::UsageError& error) {
        return usageError(error);
    } catch (const qel::cli::Interrupted&) {
        std::cerr << "tq7400: " << qel::cli::cancelledText << '\n';
        return qel::cli::interruptedStatus();
    } catch (const std::exception& error) {
        if (qel::cli::outputClosed())
            throw qel::cli::OutputClosed{};
        std::cerr << "tq7400: " << qel::terminalText(error.what()) << '\n';
        return 1;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    qel::cli::ignoreBrokenPipes();
    int status = 0;
    try {
        status = run(argc, argv);
    } catch (const qel::cli::OutputClosed&) {
        return qel::cli::outputClosedStatus;
    }
    // What is still buffered goes out now, while a failure can be told.
    std::cout.flush();
    if (qel::cli::outputClosed())
        return qel::cli::outputClosedStatus;
    if (!std::cout) {
        std::cerr << "tq7400: the output could not be written\n";
        return 1;
    }
    return status;
}
