#pragma once
// The standard descriptors as launchers hand them over: closed, or pointing at
// a full disk or a reader that went away. Each main() calls these first,
// before anything opens a file or a socket.

namespace kv {

/// Opens /dev/null on each of descriptors 0-2 that is closed, so that no file
/// or socket opened later takes its number (the signal socket on descriptor 2
/// read the program's own messages as signals). It is opened against the
/// stream's direction, so a write to a standard output that was closed still
/// fails and is reported as lost output.
void OpenClosedStandardDescriptors();

/// A write to a reader that went away fails with EPIPE instead of ending the
/// program: a run must go on to switch the load off.
void IgnoreBrokenPipe();

/// Flushes standard output. When any of it was lost, says so on standard error
/// ("<program>: standard output was lost (<why>)") and turns a `status` of 0
/// or 1 into 2; other statuses stand.
int StatusAfterStandardOutput(const char* program, int status);

}  // namespace kv
