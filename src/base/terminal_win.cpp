#include <windows.h>

#include "base/terminal.h"

namespace kv {

// Not _isatty: it also says yes to the NUL device.
bool IsTerminal(StandardStream stream) {
  DWORD mode = 0;
  const HANDLE h =
      ::GetStdHandle(stream == StandardStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
}

}  // namespace kv
