#pragma once
// The system's name of the n-th serial port (COMn as the settings count).

#include <string>

namespace kv {

/// "/dev/ttyS<n-1>" on POSIX systems, "COM<n>" on Windows; n > 0.
std::string NumberedSerialPort(int number);

}  // namespace kv
