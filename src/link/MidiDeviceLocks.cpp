#include "link/MidiDeviceLocks.h"

namespace qel {
namespace {

// What a refused lock says about its holder.
std::string refusal(const platform::DeviceLock& lock) {
    std::string holder = lock.holderName().empty() ? "another program" : lock.holderName();
    if (lock.holderProcessId() != 0)
        holder += " (process " + std::to_string(lock.holderProcessId()) + ")";
    return "The keyboard is in use by " + holder;
}

// Locks `resource`, or leaves `lock` empty for a device that needs none.
// Returns the refusal when another program holds it.
//
// A lock that cannot be made at all (no private folder can be made or used,
// a full or read-only file system, a file system without flock) is not a
// refusal: the dialog goes on without it. The lock guards against a second
// program started by mistake; a program that refused every action because of
// its runtime folder would leave the user with no way to reach the keyboard.
std::string take(const std::string& folder, const std::string& resource,
                 std::unique_ptr<platform::DeviceLock>& lock) {
    lock.reset();
    if (resource.empty())
        return {};
    lock = std::make_unique<platform::DeviceLock>(folder, resource);
    if (lock->state() == platform::DeviceLock::State::InUse) {
        std::string text = refusal(*lock);
        lock.reset();
        return text;
    }
    return {};
}

} // namespace

MidiDeviceLocks::~MidiDeviceLocks() = default;

std::string MidiDeviceLocks::lock(const std::string& folder, const Devices& devices) {
    // The names say which direction is meant: a cable lists its two ends under
    // one name, and they are two devices.
    std::string refused =
        take(folder, devices.input.empty() ? "" : "MIDI input: " + devices.input, input_);
    if (refused.empty())
        refused =
            take(folder, devices.output.empty() ? "" : "MIDI output: " + devices.output, output_);
    if (!refused.empty())
        release();
    return refused;
}

void MidiDeviceLocks::release() {
    output_.reset();
    input_.reset();
}

} // namespace qel
