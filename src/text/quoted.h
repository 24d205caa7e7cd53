#pragma once
// Names, file paths and cell texts in messages stand between double quotes so
// that an empty or blank-padded value is still seen.

#include <string>
#include <string_view>

namespace kv {

inline std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

}  // namespace kv
