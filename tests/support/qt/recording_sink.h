#pragma once
// A message sink that remembers what the operator would have seen.

#include <string>
#include <string_view>
#include <vector>

#include "link/message_sink.h"

namespace kv::test {

class RecordingSink : public MessageSink {
 public:
  void ShowMessage(std::string_view text) override { messages.emplace_back(text); }
  std::vector<std::string> messages;
};

}  // namespace kv::test
