#pragma once
// Whether a standard stream is a terminal (POSIX) or a console (Windows),
// where a live progress line may overwrite itself.

namespace kv {

enum class StandardStream { Output, Error };

bool IsTerminal(StandardStream stream);

}  // namespace kv
