#pragma once
// Where KV26.INI lives. Portable use (a build tree, a folder on a stick, an
// existing Windows-style install) keeps it beside the program; an installed
// program in a read-only folder keeps it in the user's configuration folder.

#include <string>

namespace kv {

struct IniLocationFacts {
  std::string executableFolder;
  bool executableFolderHasIni = false;  // a KV26.INI already sits there
  bool executableFolderWritable = false;
  std::string userConfigFolder;  // per-user configuration folder of the program
};

/// The full path of KV26.INI for these facts.
std::string IniFilePath(const IniLocationFacts& facts);

}  // namespace kv
