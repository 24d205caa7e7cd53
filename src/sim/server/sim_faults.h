#pragma once
// Misbehaviour on demand, so that tests can see how the program copes with a
// slow, silent, garbled or vanishing load.

#include <QByteArray>

namespace kv {

struct SimFaults {
  /// Every reply leaves this many ms after its query.
  int replyDelayMs = 0;
  /// Replies stop after this many lines of a connection; -1 never.
  int silentAfter = -1;
  /// Every n-th reply is replaced by junk (still ending the line); 0 never.
  int garbageEvery = 0;
  /// Each reply goes out in this many pieces...
  int splitReplies = 1;
  /// ...this many ms apart.
  int splitDelayMs = 20;
  /// The connection is dropped after this many lines; 0 never.
  int dropAfter = 0;
};

/// The junk that replaces reply number `n`: printable and control bytes, never
/// CR or LF, the same for the same `n`.
QByteArray SimGarbage(int n);

}  // namespace kv
