#include "base/file_identity.h"

#include <filesystem>
#include <system_error>

#include "base/native_file.h"

namespace kv {

namespace {

namespace fs = std::filesystem;

// As many links as the system itself follows before it gives up (ELOOP).
constexpr int kMaxLinkHops = 40;

}  // namespace

FileIdentity IdentifyFile(const std::string& path) {
  FileIdentity identity;
  if (path.empty()) {
    return identity;
  }
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) {
    p = path;
  }
  // Followed by hand: canonical() stops at a link whose target is missing,
  // and that target is exactly what a create through the link makes.
  for (int hop = 0; hop < kMaxLinkHops && fs::is_symlink(fs::symlink_status(p, ec)); ++hop) {
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) {
      break;
    }
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  const fs::path resolved = fs::weakly_canonical(p, ec);
  identity.path = (ec ? p.lexically_normal() : resolved).string();
  identity.exists = FileNumbers(identity.path, &identity.device, &identity.inode);
  return identity;
}

bool IsSameFile(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists && b.exists) {
    return a.device == b.device && a.inode == b.inode;
  }
  return !a.path.empty() && a.path == b.path;
}

}  // namespace kv
