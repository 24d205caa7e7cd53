#pragma once

#include <array>
#include <string>

#include "steps/step_columns.h"

namespace kv {

/// One row of the step list: 26 text cells, "" where a function writes nothing.
struct TestStep {
  std::array<std::string, kStepColumns> cells{};

  std::string& operator[](int col) { return cells[static_cast<std::size_t>(col)]; }
  const std::string& operator[](int col) const { return cells[static_cast<std::size_t>(col)]; }
  bool operator==(const TestStep&) const = default;
};

}  // namespace kv
