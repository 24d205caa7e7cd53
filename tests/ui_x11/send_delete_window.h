#pragma once
// Xlib's macros (Bool, Status, None) break Qt and GoogleTest headers, so the
// one call that needs it lives alone.

namespace kv::test {

/// What a window manager sends when the close button of X window `window`
/// is clicked: a WM_PROTOCOLS client message asking WM_DELETE_WINDOW.
/// False when the display could not be opened.
bool SendDeleteWindow(unsigned long window);

}  // namespace kv::test
