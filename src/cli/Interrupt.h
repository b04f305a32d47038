#pragma once

// Ctrl+C on the terminal: instead of ending the program at once (which could
// cut a transfer or a file write short), it asks the running operation to
// stop, as the window's Cancel button does. The handler only sets a flag;
// every wait for the keyboard looks at it several times a second and ends.

namespace qel::cli {

// Installs the handler of SIGINT and SIGTERM.
void catchInterrupts();
// Whether an interrupt came since the start.
bool interrupted();

// Thrown to end a run that an interrupt stopped.
struct Interrupted {};
// The exit status of such a run: as a shell shows a program that the signal
// ended, 128 plus its number (130 for Ctrl+C, 143 for SIGTERM).
int interruptedStatus();

} // namespace qel::cli
