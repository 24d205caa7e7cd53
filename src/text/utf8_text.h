#pragma once
// Replies and step files are bytes, mostly ASCII, sometimes UTF-8, sometimes
// the Latin-1 of an older Windows installation. Where text must be valid
// UTF-8 (JSON), every byte is kept: valid UTF-8 stays as it is and any other
// byte is read as the Latin-1 character of the same value.

#include <string>
#include <string_view>

namespace kv {

/// `bytes` as valid UTF-8: well-formed sequences unchanged, every byte that is
/// not part of one re-encoded as U+0000..U+00FF ("\xE4" becomes "ä").
std::string Utf8OrLatin1(std::string_view bytes);

}  // namespace kv
