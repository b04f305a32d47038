#pragma once

// Ctrl+C on the terminal: instead of ending the program at once (which could
// cut a transfer or a file write short), it asks the running transfer to stop
// at its next block, as the window's Cancel button does.

namespace qel::cli {

// Installs the handler of SIGINT and SIGTERM.
void catchInterrupts();
// Whether an interrupt came since the start.
bool interrupted();

} // namespace qel::cli
