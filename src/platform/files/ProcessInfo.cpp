#include "platform/files/ProcessInfo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace qel::platform {

unsigned long currentProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

std::string currentProgramName() {
    if (QCoreApplication::instance() != nullptr)
        return QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
#ifdef __linux__
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        return program.filename().string();
#endif
    return {};
}

std::string temporaryFolder() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error || folder.empty())
        return "./";
    std::string text = folder.generic_string();
    if (text.back() != '/')
        text += '/';
    return text;
}

} // namespace qel::platform
