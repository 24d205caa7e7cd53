#pragma once
// Ends the Qt event loop on SIGINT and SIGTERM, so that a program stopped from
// a terminal or by a test harness still runs its clean-up.

namespace kv {

/// Call once, after the application object exists.
void QuitOnSignals();

}  // namespace kv
