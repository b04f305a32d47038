#pragma once

// An advisory lock that one holder at a time has on a named resource (a MIDI
// device), so that two programs never talk to one keyboard at once.
//
// The lock is flock(LOCK_EX | LOCK_NB) on a file of its own in a folder only
// the user can write. It is tried once and never waited for; it lasts as long
// as its object; and the kernel drops it when the holding process ends in any
// way (a crash or SIGKILL included), so no lock outlives its program. The
// holder writes its program name and process id into the file, so that a
// refused program can say who holds the resource.
//
// The file itself stays when the lock goes: removing it would let a newcomer
// lock a fresh file of the same name while an older program still holds the
// removed one. It is a few bytes in a folder the system empties at logout or
// reboot.
//
// flock locks belong to an open file description, not to a process: a second
// DeviceLock of the same resource is refused even inside the same process.

#include "platform/files/ProcessInfo.h"

#include <string>

namespace qel::platform {

// The folder for device locks, ending with '/'. Only computes the path:
//   - $QEL_DEVICE_LOCK_DIR when set (tests point it at a scratch folder, so
//     that they never share locks with a program the user runs);
//   - else $XDG_RUNTIME_DIR, the user's private runtime folder;
//   - else "tq7400-<user id>" in the system's temporary folder.
std::string defaultDeviceLockFolder();

// Makes `folder` fit to hold locks: creates it with mode 0700 when it does not
// exist (its parent must), then checks that it is a real folder (no symbolic
// link), owned by the current user, that neither its group nor other users may
// write. Returns an empty text when it is fit, else why it is not.
std::string preparePrivateFolder(const std::string& folder);

// The name (without folder) of the lock file of `resource`: a fixed prefix and
// the hexadecimal SHA-256 of the resource's bytes. Whatever the resource's text
// (slashes, "..", control bytes, any length), the name is short, holds only
// letters, digits, '-' and '.', and differs from every other resource's.
std::string deviceLockFileName(const std::string& resource);

class DeviceLock {
public:
    enum class State {
        Held,       // this object holds the lock
        InUse,      // another holder has it; holderName() and holderProcessId() say who
        Unavailable // no lock could be made at all; problem() says why
    };

    // Tries once, at once, to lock `resource` with a file in `folder` (see
    // preparePrivateFolder(), which this runs first). When the lock is taken,
    // `holderName` and this process's id are written into the file.
    DeviceLock(const std::string& folder, const std::string& resource,
               const std::string& holderName = currentProgramName());
    // Releases the lock.
    ~DeviceLock();
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    // For InUse: the program name the holder wrote (at most 64 printable
    // characters; empty when it wrote none that can be read) and its process
    // id (0 when unknown: the holder may not have written it yet).
    const std::string& holderName() const { return holderName_; }
    unsigned long holderProcessId() const { return holderProcessId_; }
    // For Unavailable: the reason.
    const std::string& problem() const { return problem_; }
    // The lock file.
    const std::string& path() const { return path_; }

private:
    void readHolder();
    void writeHolder(const std::string& name);

    int descriptor_ = -1;
    State state_ = State::Unavailable;
    std::string path_;
    std::string holderName_;
    unsigned long holderProcessId_ = 0;
    std::string problem_;
};

} // namespace qel::platform
