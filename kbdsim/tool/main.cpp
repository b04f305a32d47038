// tq7400-kbdsim: a simulated keyboard on its own MIDI ports, for trying the
// data manager without hardware and for tests across processes.

#include "core/Exception.h"
#include "kbdsim/KeyboardMemory.h"
#include "kbdsim/KeyboardSimulator.h"
#include "kbdsim/MemoryImage.h"
#include "kbdsim/tool/CommandLine.h"
#include "kbdsim/tool/MidiHost.h"
#include "link/SysExFrame.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used from a signal handler");

extern "C" void requestStop(int) {
    stopRequested = true;
}

void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Parameter values (deletes, names) and the end of a received item are the
// messages that change the memory.
bool mayChangeMemory(const kbdsim::Bytes& message) {
    namespace sysex = qel::sysex;
    if (message.size() <= sysex::bodyOffset)
        return false;
    const std::uint8_t type = message[sysex::typeOffset];
    return type == sysex::ParameterValue ||
           (type == sysex::Handshake && message[sysex::bodyOffset] == sysex::EndOfData);
}

void save(const kbdsim::KeyboardMemory& memory, const std::string& path) {
    try {
        kbdsim::MemoryImage::save(memory, path);
    } catch (const qel::Exception& failure) {
        std::fprintf(stderr, "tq7400-kbdsim: %s\n", failure.what());
    }
}

int run(const kbdsim::tool::Settings& settings) {
    kbdsim::KeyboardSimulator keyboard(settings.options);
    if (!settings.memoryFile.empty() && std::filesystem::exists(settings.memoryFile))
        keyboard.replaceMemory(kbdsim::MemoryImage::load(settings.memoryFile));

    kbdsim::tool::MidiHost host(settings, keyboard);
    installStopHandlers();
    std::printf(
        "tq7400-kbdsim ready (%s): input \"%s:MIDI In\", output \"%s:MIDI Out\", model %u\n",
        host.apiName().c_str(), inputClientName(settings).c_str(),
        outputClientName(settings).c_str(), unsigned{settings.options.modelCode});
    std::fflush(stdout);

    host.run(stopRequested, [&](const kbdsim::Bytes& message) {
        if (!settings.memoryFile.empty() && mayChangeMemory(message))
            save(keyboard.memory(), settings.memoryFile);
    });
    if (!settings.memoryFile.empty())
        save(keyboard.memory(), settings.memoryFile);
    std::printf("tq7400-kbdsim stopped after %zu messages\n", keyboard.messageCount());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const kbdsim::tool::Settings settings =
            kbdsim::tool::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (settings.help) {
            std::fputs(kbdsim::tool::usage().c_str(), stdout);
            return 0;
        }
        return run(settings);
    } catch (const qel::Exception& failure) {
        std::fprintf(stderr, "tq7400-kbdsim: %s\n", failure.what());
        return 1;
    } catch (const std::exception& failure) {
        // Out of memory, a thread that could not start, ...: still a message, not an abort.
        std::fprintf(stderr, "tq7400-kbdsim: %s\n", failure.what());
        return 1;
    }
}
