#pragma once

// JACK keeps per-user files in shared memory (/dev/shm): the registry of
// servers, each server's memory, and a metadata store (a Berkeley DB
// environment, jack_db-<uid>) that every jack_client_open() attaches to first
// of all, whether or not a server of the name asked for runs. JACK servers
// starting and stopping, or dying, can leave that store damaged (a region file
// cut short, a half-written region); then attaching to it kills the program
// with SIGBUS or SIGSEGV, or spins for ever, inside libjack, until the store is
// removed. Nothing in libjack can be asked to check it first, so a child
// process tries it: only the child dies.

#include <chrono>
#include <string>

namespace qel::midi {

// Attaches to the user's JACK files in a child process, as jack_client_open()
// does, without reaching any server, and waits up to `bound` for the child.
// Empty when the child came through (or the check cannot run here); otherwise
// a one-line reason, and a JACK client must not be opened in this process now.
std::string checkJackSharedFiles(std::chrono::milliseconds bound);

} // namespace qel::midi
