#pragma once
// The values each numeric key of "Load Option" may hold. Start-up reading
// falls back to the default outside them; the setup dialog refuses to save.

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_settings.h"

namespace kv {
class IniDocument;
}

namespace kv {

struct SettingRange {
  std::string_view section;
  std::string_view key;
  long long min;
  long long max;
};

inline constexpr long long kInt16Min = std::numeric_limits<std::int16_t>::min();
inline constexpr long long kInt16Max = std::numeric_limits<std::int16_t>::max();

// Any 16-bit mode is kept: one that is none of serial, GPIB and LAN is a
// legitimate "no link".
inline constexpr SettingRange kConnectModeRange{kLoadOptionSection, kConnectModeKey, kInt16Min,
                                                kInt16Max};
inline constexpr SettingRange kBaudRateRange{kLoadOptionSection, kBaudRateKey, 1,
                                             std::numeric_limits<std::int32_t>::max()};
inline constexpr SettingRange kHandShakeRange{kLoadOptionSection, kHandShakeKey, kHandShakeNone,
                                              kHandShakeRtsXOnXOff};
inline constexpr SettingRange kBoardNoRange{kLoadOptionSection, kBoardNoKey, kInt16Min, kInt16Max};
// GPIB primary addresses; the dialog's list runs to 31.
inline constexpr SettingRange kAddressRange{kLoadOptionSection, kAddressKey, 0, 31};
inline constexpr std::array<SettingRange, 4> kLanIpRanges{{
    {kLoadOptionSection, kLanIp1Key, 0, 255},
    {kLoadOptionSection, kLanIp2Key, 0, 255},
    {kLoadOptionSection, kLanIp3Key, 0, 255},
    {kLoadOptionSection, kLanIp4Key, 0, 255},
}};
inline constexpr SettingRange kLanPortRange{kLoadOptionSection, kLanPortKey, 1, 65535};

/// The key's number when it lies in `range`, else `defaultValue` with a line
/// about the value appended to `warnings` (when not null). A missing key is
/// the default without a warning.
long long ReadRangedSetting(const IniDocument& doc, const std::string& iniPath,
                            const SettingRange& range, long long defaultValue,
                            std::vector<std::string>* warnings);

}  // namespace kv
