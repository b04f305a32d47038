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

} // namespace qel::cli
