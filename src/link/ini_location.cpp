#include "link/ini_location.h"

#include <filesystem>

#include "link/link_settings.h"

namespace kv {

std::string IniFilePath(const IniLocationFacts& facts) {
  const bool besideProgram = facts.executableFolderHasIni || facts.executableFolderWritable ||
                             facts.userConfigFolder.empty();
  const std::filesystem::path folder =
      besideProgram ? facts.executableFolder : facts.userConfigFolder;
  return (folder / std::string(kIniFileName)).make_preferred().string();
}

}  // namespace kv
