#pragma once
// The connection settings kept in KV26.INI and read once at start-up. Every
// numeric key has a default that also stands in for a value the file holds
// but that cannot be a number of the key's type.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr std::string_view kIniFileName = "KV26.INI";

// Sections and keys of KV26.INI.
inline constexpr std::string_view kLoadOptionSection = "Load Option";
inline constexpr std::string_view kStepFileSection = "KV26";
inline constexpr std::string_view kSystemSection = "System";
/// Where a bench publishes its runs (the lab's MQTT broker).
inline constexpr std::string_view kPublishSection = "Publish";
inline constexpr std::string_view kBrokerKey = "Broker";
inline constexpr std::string_view kConnectModeKey = "ConnectMode";
inline constexpr std::string_view kBaudRateKey = "BaudRate";
inline constexpr std::string_view kHandShakeKey = "HandShake";
inline constexpr std::string_view kComPortKey = "COMPort";
inline constexpr std::string_view kBoardNoKey = "BoardNo";
inline constexpr std::string_view kAddressKey = "Address";
inline constexpr std::string_view kLanIp1Key = "LanIP1";
inline constexpr std::string_view kLanIp2Key = "LanIP2";
inline constexpr std::string_view kLanIp3Key = "LanIP3";
inline constexpr std::string_view kLanIp4Key = "LanIP4";
inline constexpr std::string_view kLanPortKey = "LanPort";
inline constexpr std::string_view kDefaultPathKey = "DefaultPath";
inline constexpr std::string_view kTestFileNameKey = "TestFileName";          // in [KV26]
inline constexpr std::string_view kLastTestStepFileKey = "LastTestStepFile";  // in [System]

/// Serial flow control values of HandShake.
enum HandShakeValue : std::int16_t {
  kHandShakeNone = 0,
  kHandShakeXOnXOff = 1,
  kHandShakeRts = 2,
  kHandShakeRtsXOnXOff = 3,
};

/// A load's factory LAN port and GPIB address: the settings file's and the
/// command line's defaults.
inline constexpr int kDefaultLanPort = 4001;
inline constexpr std::int16_t kDefaultGpibAddress = 5;

struct LinkSettings {
  std::int16_t connectMode = 0;  // kModeSerial, kModeGpib, kModeLan; others do nothing
  std::int32_t baudRate = 115200;
  std::int16_t handShake = kHandShakeRts;
  std::string comPort = "1";  // text as typed: "1", "/dev/ttyUSB0", "ttyACM0"
  std::int16_t boardNo = 0;   // kept for the file; the GPIB transport always uses board 0
  std::int16_t address = kDefaultGpibAddress;               // GPIB primary address
  std::array<std::int16_t, 4> lanIp = {192, 168, 16, 128};  // LanIP1..LanIP4
  int lanPort = kDefaultLanPort;                            // 1..65535
  /// A host name or address given on the command line; it stands for LanIP1..4
  /// and is never written to the file, whose format knows only the octets.
  std::string lanHost;
  std::string defaultPath;   // the program's folder when the file has none
  std::string testFileName;  // [KV26] TestFileName: the last opened step file
  /// Keys whose text in the file was unusable, so that the default stands in
  /// (LoadLinkSettings fills it; nothing writes it back).
  std::vector<std::string> unusableKeys;
};

/// The keys that make a connection over `settings.connectMode` untrustworthy:
/// an unusable ConnectMode or one that selects no transport, and the unusable
/// keys of that transport (BaudRate, HandShake for serial; Address, BoardNo
/// for GPIB; LanIP1..4, LanPort for LAN). Empty when the connection may be
/// opened as the file says. A silently substituted value would drive a load
/// nobody configured, so callers refuse to connect while this is not empty.
std::vector<std::string> UnusableConnectionKeys(const LinkSettings& settings);

/// Reads every connection key of the INI at `iniPath` (missing file or key:
/// the default). A value that is no whole number in the key's range (see
/// setting_ranges.h: HandShake 0..3, Address 0..31, octets 0..255, LanPort
/// 1..65535, BaudRate above 0, ConnectMode and BoardNo 16-bit) also gives the
/// default, and one line naming the key and the value is appended to
/// `warnings` (when not null). `programFolder` is DefaultPath's default; an
/// empty one means the folder holding the INI.
LinkSettings LoadLinkSettings(const std::string& iniPath, std::vector<std::string>* warnings,
                              const std::string& programFolder = {});

/// lanHost when set, else "a.b.c.d" from the four octets, in decimal.
std::string LanAddressText(const LinkSettings& settings);

/// The serial line settings text: the bit rate followed by ",n,8,1".
std::string SerialLineSettingsText(std::int32_t baudRate);

/// The number a COMPort text starts with (leading digits only), 0 when it does
/// not start with a digit or the number does not fit.
int ComPortNumber(std::string_view comPort);

/// The device a COMPort text opens on this system: a number n > 0 is COMn
/// (/dev/ttyS<n-1> on Linux, COMn on Windows); a device path or a port name is
/// used as it stands; "" means nothing is opened.
std::string SerialDeviceName(std::string_view comPort);

/// Strict integer reading of a settings text: optional blanks around an
/// optional sign and decimal digits, nothing else; false when the text is
/// not such a number or lies outside [minValue, maxValue].
bool ParseSettingInteger(std::string_view text, long long minValue, long long maxValue,
                         long long* value);

}  // namespace kv
