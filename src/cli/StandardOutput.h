#pragma once

// Standard output read by a program that may stop reading early, as in
// `tq7400 list | head -1`. A write into a pipe nobody reads any more fails
// (EPIPE) instead of ending the program on the spot, whatever it was doing;
// the failed write makes the run stop as Ctrl+C does, quietly, and the
// program ends with outputClosedStatus.

namespace qel::cli {

// The exit status of a run whose output was closed by its reader: the status
// a shell shows for a program ended by SIGPIPE, so scripts that expect that
// of `... | head` need nothing new.
inline constexpr int outputClosedStatus = 141;

// Thrown to end a run once its output has been closed.
struct OutputClosed {};

// Ignores SIGPIPE for the whole process. Call once, first thing in main().
void ignoreBrokenPipes();

// True once a write to standard output has failed because the reading end of
// its pipe (or socket) has been closed; false while everything written has
// gone out, and for any other write error.
bool outputClosed();

} // namespace qel::cli
