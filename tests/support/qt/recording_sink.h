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
  void OnLinkFailure(LinkFailure failure, std::string_view text, std::string_view cause) override {
    failures.push_back(failure);
    causes.emplace_back(cause);
    ShowMessage(text);
  }
  std::vector<std::string> messages;
  std::vector<LinkFailure> failures;
  std::vector<std::string> causes;
};

}  // namespace kv::test
