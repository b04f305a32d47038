#pragma once

// The signals a command-line run cares about. Ctrl+C (SIGINT) and SIGTERM do
// not end the process at once, which could cut a transfer or a file write
// short: they only set a flag that every wait looks at. A write into a pipe
// whose reader has gone fails instead of ending the process (SIGPIPE).

namespace qel::platform {

// Installs the handler of SIGINT and SIGTERM for the whole process.
void catchInterruptSignals();
// Whether SIGINT or SIGTERM came since catchInterruptSignals().
bool interruptSignalled();
// The number of the first of them that came (SIGINT or SIGTERM); 0 for none.
int interruptSignalNumber();

// Ignores SIGPIPE for the whole process: a write into a closed pipe fails
// with EPIPE instead.
void ignoreBrokenPipes();

} // namespace qel::platform
