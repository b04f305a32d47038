// A second program for the tests of the device locks: holds the locks of one
// MIDI input and one output device as a MIDI dialog does, prints "locked", and
// keeps them until SIGINT or SIGTERM ends it (or for a minute at most, so that
// it never outlives a test that lost track of it).
//   device_lock_holder LOCK-FOLDER INPUT OUTPUT

#include "link/MidiDeviceLocks.h"

#include <csignal>
#include <ctime>
#include <iostream>

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::cerr << "usage: device_lock_holder LOCK-FOLDER INPUT OUTPUT\n";
        return 2;
    }
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopping, nullptr);

    qel::MidiDeviceLocks locks;
    const std::string refused = locks.lock(argv[1], {argv[2], argv[3]});
    if (!refused.empty()) {
        std::cout << refused << std::endl;
        return 1;
    }
    std::cout << "locked" << std::endl;
    const timespec bound{60, 0};
    sigtimedwait(&stopping, nullptr, &bound);
    return 0;
}
