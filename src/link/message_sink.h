#pragma once
// Where the link and the station put the notices an operator must see
// ("Connect Fail!", "Test Finished"). The desktop program shows each in a box
// with an OK button only; the headless runner prints them.

#include <string_view>

namespace kv {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  /// May block until the operator acknowledges (a modal box keeps the event
  /// loop running), so callers must expect other handlers to run inside it.
  virtual void ShowMessage(std::string_view text) = 0;
};

}  // namespace kv
