#include "link/setting_ranges.h"

#include "link/ini_file.h"

namespace kv {

long long ReadRangedSetting(const IniDocument& doc, const std::string& iniPath,
                            const SettingRange& range, long long defaultValue,
                            std::vector<std::string>* warnings) {
  if (!doc.Has(range.section, range.key)) {
    return defaultValue;
  }
  const std::string text = doc.Value(range.section, range.key, "");
  long long value = 0;
  if (ParseSettingInteger(text, range.min, range.max, &value)) {
    return value;
  }
  if (warnings != nullptr) {
    warnings->push_back(iniPath + ": [" + std::string(range.section) + "] " +
                        std::string(range.key) + "=\"" + text + "\" is not a whole number from " +
                        std::to_string(range.min) + " to " + std::to_string(range.max) +
                        "; using " + std::to_string(defaultValue));
  }
  return defaultValue;
}

}  // namespace kv
