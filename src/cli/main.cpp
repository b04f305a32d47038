// tq7400: the keyboard's data manager on the command line.

#include "cli/CommandLine.h"
#include "cli/CommandRunner.h"
#include "cli/Interrupt.h"

#include <QCoreApplication>
#include <exception>
#include <iostream>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("TQ-7400 Data Manager");
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
        std::cerr << "tq7400: " << error.what() << "\n\n" << qel::cli::usageText();
        return 2;
    }
    qel::cli::catchInterrupts();
    try {
        qel::cli::CommandRunner runner(options, std::cout);
        return runner.run();
    } catch (const qel::cli::UsageError& error) {
        std::cerr << "tq7400: " << error.what() << '\n';
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "tq7400: " << error.what() << '\n';
        return 1;
    }
}
