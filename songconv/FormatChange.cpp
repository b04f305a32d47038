#include "songconv/FormatChange.h"

#include "songconv/SmfReader.h"
#include "songconv/SmfWriter.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::optional<std::vector<std::uint8_t>> readAll(const char* path) {
    File file(std::fopen(path, "rb"));
    if (!file)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    if (std::ferror(file.get()))
        return std::nullopt;
    return bytes;
}

// Writes all bytes or removes what was started.
bool writeAll(const char* path, const std::vector<std::uint8_t>& bytes) {
    File file(std::fopen(path, "wb"));
    if (!file)
        return false;
    bool good = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    good = std::fflush(file.get()) == 0 && good;
    good = std::fclose(file.release()) == 0 && good;
    if (!good)
        std::remove(path);
    return good;
}

} // namespace

extern "C" int FormatChange(const char* source, const char* destination) {
    if (source == nullptr || destination == nullptr || *source == '\0' || *destination == '\0')
        return FormatChangeBadArguments;
    // Nothing may escape through the C interface.
    try {
        const auto input = readAll(source);
        if (!input)
            return FormatChangeUnreadable;
        std::vector<std::uint8_t> output;
        try {
            output = qel::smf::writeFormat0(qel::smf::readSmf(*input));
        } catch (const qel::smf::SmfError&) {
            return FormatChangeNotSmf;
        }
        return writeAll(destination, output) ? FormatChangeDone : FormatChangeUnwritable;
    } catch (const std::exception&) {
        return FormatChangeUnwritable; // out of memory while building the output
    }
}
