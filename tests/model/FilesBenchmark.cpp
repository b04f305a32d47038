// Measures the file layer:
//  1. header reads per second: the constructor from a path over a folder of
//     10,000 small container files, found by wildcard search;
//  2. loadForSending() on the largest package the directory can describe
//     (10 tone groups and 1 drum group with every wave present, 10 songs and
//     8 rhythms), its time and peak memory, against reading the same file's
//     bytes once.
// Usage: files_benchmark [wave size in bytes, default 32768] [folder]

#include "model/VdfData.h"
#include "platform/files/FileBytes.h"
#include "platform/files/WildcardSearch.h"
#include "support/PackageBuilder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Resets the peak resident size (Linux: "5" to clear_refs), so that each
// measurement sees only its own peak.
void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The peak resident size in KiB since the last reset.
long peakMemoryKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

long currentMemoryKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

struct Measurement {
    double seconds = 0;
    long peakKib = 0;       // peak resident memory above the start
    std::size_t result = 0; // what the operation returned
};

// Runs `operation` in a forked child and reports its time and peak memory.
template <typename Operation> Measurement measure(Operation operation) {
    int channel[2];
    if (::pipe(channel) != 0)
        std::exit(1);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const long base = currentMemoryKib();
        resetPeakMemory();
        const auto start = Clock::now();
        Measurement m;
        m.result = operation();
        m.seconds = secondsSince(start);
        m.peakKib = peakMemoryKib() - base;
        const bool sent = ::write(channel[1], &m, sizeof m) == static_cast<ssize_t>(sizeof m);
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    Measurement m;
    if (child < 0 || ::read(channel[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m))
        std::exit(1);
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    return m;
}

void headerReads(const std::string& folder) {
    const int count = 10000;
    for (int i = 0; i < count; ++i) {
        qel::ByteVector data = qel::test::itemContent(qel::category::Tone, -1, i, 70);
        qel::test::writeFile(
            folder + "/T" + std::to_string(i) + ".VDF",
            qel::test::singleItemFile(qel::category::Tone, qel::type::UserTone, data));
    }
    const auto start = Clock::now();
    std::size_t loaded = 0;
    for (const std::string& path : qel::platform::findFiles(folder, "*.vdf")) {
        qel::VdfData item(path);
        loaded += item.size() == 70;
    }
    const double seconds = secondsSince(start);
    std::printf("header reads: %zu files in %.3f s = %.0f files/s\n", loaded, seconds,
                loaded / seconds);
}

void largestPackage(const std::string& folder, std::uint32_t waveSize) {
    qel::test::PackageBuilder builder(qel::type::Package);
    builder.registrations(1).dsps(1).drawbarOrgans(1).tones(1);
    for (int i = 0; i < 10; ++i)
        builder.song(i, "SONG" + std::to_string(i), 65536);
    for (int i = 0; i < 8; ++i)
        builder.rhythm(i, "RHY" + std::to_string(i), 8192);
    for (int g = 0; g < 10; ++g)
        builder.toneGroup(std::vector<std::uint32_t>(64, waveSize));
    builder.drumGroup(std::vector<std::uint32_t>(128, waveSize), qel::ByteVector(128, 1));
    const std::string path = folder + "/largest.vdf";
    {
        const qel::ByteVector bytes = builder.build();
        qel::test::writeFile(path, bytes);
    }
    const std::uint64_t fileSize = *qel::platform::fileSize(path);

    // Each measurement runs in a child process of its own, so that it sees
    // only its own allocations; three rounds, alternating, with a warm page
    // cache; the best time and the lowest peak are kept.
    double readSeconds = 1e9, sendSeconds = 1e9;
    long readPeak = 1L << 40, sendPeak = 1L << 40;
    std::size_t readBytes = 0, groups = 0;
    for (int round = 0; round < 3; ++round) {
        const Measurement read =
            measure([&] { return qel::platform::readWholeFile(path)->size(); });
        readSeconds = std::min(readSeconds, read.seconds);
        readPeak = std::min(readPeak, read.peakKib);
        readBytes = read.result;
        const Measurement send = measure([&] {
            qel::VdfData package(path);
            package.loadForSending();
            return package.children().at(qel::category::Package).size();
        });
        sendSeconds = std::min(sendSeconds, send.seconds);
        sendPeak = std::min(sendPeak, send.peakKib);
        groups = send.result;
    }

    std::printf(
        "largest package: %.1f MiB, %zu groups, wave data items of %u bytes; %zu bytes read once\n",
        fileSize / 1048576.0, groups, waveSize, readBytes);
    std::printf("  read once:        %.3f s, peak memory +%ld KiB\n", readSeconds, readPeak);
    std::printf("  loadForSending(): %.3f s, peak memory +%ld KiB (%.1fx the time)\n", sendSeconds,
                sendPeak, sendSeconds / readSeconds);
}

} // namespace

int main(int argc, char** argv) {
    const std::uint32_t waveSize =
        argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 32768;
    std::string folder = argc > 2 ? argv[2] : "";
    bool made = false;
    if (folder.empty()) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qel-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return 1;
        folder = pattern;
        made = true;
    }
    largestPackage(folder, waveSize);
    headerReads(folder);
    if (made)
        std::filesystem::remove_all(folder);
    return 0;
}
