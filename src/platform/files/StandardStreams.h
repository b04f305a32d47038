#pragma once

// What the process's standard output and standard error are connected to.

namespace qel::platform {

// True when standard error is a terminal (a person watches it), false for a
// file or a pipe.
bool standardErrorIsTerminal();

// True when standard output is a pipe or socket whose reading end has been
// closed; false while it can be written to, and for a full disk or any other
// write error.
bool standardOutputHungUp();

} // namespace qel::platform
