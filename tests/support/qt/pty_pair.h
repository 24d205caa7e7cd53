#pragma once
// Two pseudo-terminals joined by socat: the program opens one end as its
// serial port, the test (or a simulated load) plays the load on the other.

#include <QProcess>
#include <QString>

namespace kv::test {

class PtyPair {
 public:
  PtyPair() = default;
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  /// Starts socat and returns once both ends exist and data flows; false (with
  /// socat's output in Error()) when it does not come up within `timeoutMs`.
  bool Start(int timeoutMs = 5000);
  QString NearPath() const { return near_; }
  QString FarPath() const { return far_; }
  QString Error() const { return error_; }

 private:
  QProcess socat_;
  QString near_;
  QString far_;
  QString error_;
};

}  // namespace kv::test
