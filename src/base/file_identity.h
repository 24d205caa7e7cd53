#pragma once
// Which file a write under a path would land in. Two names can lead to one
// file through symbolic links (also a dangling one: writing through it creates
// its target), a folder reached two ways, "..", or a hard link; writing both
// names would have one output replace the other, or replace an input.

#include <cstdint>
#include <string>

namespace kv {

struct FileIdentity {
  /// Symbolic links followed, folders canonical, the name as it is written;
  /// empty for an empty path.
  std::string path;
  /// Set when a file is there: its device and inode tell hard links apart.
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

FileIdentity IdentifyFile(const std::string& path);

/// Whether writing `a` and writing `b` write one file.
bool IsSameFile(const FileIdentity& a, const FileIdentity& b);

}  // namespace kv
