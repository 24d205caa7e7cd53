#pragma once
// Misbehaviour on demand, so that tests can see how the program copes with a
// slow, silent, garbled or vanishing load.

#include <QByteArray>
#include <optional>

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
  /// The connection is dropped after this many lines; 0 never. On the serial
  /// line the pseudo-terminal is closed and its device goes away.
  int dropAfter = 0;
  /// After a TCP drop the load is not reached again: no new connection is
  /// accepted. (A dropped serial device never comes back anyway.)
  bool stayAway = false;
  /// From this reply of a connection on, the load streams bytes without a
  /// line end for as long as the connection lasts; 0 never.
  int endlessFrom = 0;
  /// Every n-th reply carries control characters between and after its fields
  /// (its numbers still read the same); 0 never.
  int controlEvery = 0;
  /// Every n-th reply has a line feed after its first field, so it arrives as
  /// two lines; 0 never.
  int lineFeedEvery = 0;
  /// Replaces every n-th reply to "MEAS:VC?" (see measReplyEvery); none keeps
  /// the load's own reply.
  std::optional<QByteArray> measReply;
  int measReplyEvery = 1;
};

/// The junk that replaces reply number `n`: printable and control bytes, never
/// CR or LF, the same for the same `n`.
QByteArray SimGarbage(int n);

/// `reply` with control characters in it: a CR, ESC and BEL after its first
/// field, TAB, NUL and CR at its end.
QByteArray SimControlCharacters(const QByteArray& reply);

}  // namespace kv
