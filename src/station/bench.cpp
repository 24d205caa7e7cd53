#include "station/bench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <utility>

#include "link/ini_file.h"
#include "link/ini_location.h"
#include "link/transports/link_router.h"
#include "runner/system_clock.h"
#include "sim/link/simulated_link.h"
#include "sim/simulated_load.h"
#include "station/station.h"

namespace kv {

std::string DefaultIniPath() {
  const QString folder = QCoreApplication::applicationDirPath();
  IniLocationFacts facts;
  facts.executableFolder = QDir::toNativeSeparators(folder).toStdString();
  facts.executableFolderHasIni = QFileInfo::exists(
      folder + QLatin1Char('/') + QString::fromUtf8(kIniFileName.data(), kIniFileName.size()));
  facts.executableFolderWritable = QFileInfo(folder).isWritable();
  facts.userConfigFolder =
      (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/kvload")
          .toStdString();
  return IniFilePath(facts);
}

void NameLink(const LinkSettings& s, RunIdentity& identity) {
  switch (s.connectMode) {
    case kModeSerial:
      identity.linkMode = "serial";
      identity.linkAddress = SerialDeviceName(s.comPort);
      break;
    case kModeGpib:
      identity.linkMode = "gpib";
      identity.linkAddress = "GPIB0::" + std::to_string(s.address);
      break;
    case kModeLan:
      identity.linkMode = "lan";
      identity.linkAddress = LanAddressText(s) + ":" + std::to_string(s.lanPort);
      break;
    default:
      break;
  }
}

std::string BenchName(const std::string& iniPath) {
  const std::string name = ReadIniValue(iniPath, kSystemSection, "BenchName", "");
  return name.empty() ? QSysInfo::machineHostName().toStdString() : name;
}

// Passes everything on; a lost connection also tells the station, which acts
// on it only during a run and only after the transaction that found it.
class Bench::LinkLossSink : public MessageSink {
 public:
  explicit LinkLossSink(MessageSink& next) : next_(next) {}
  void SetStation(Station* station) { station_ = station; }
  void ShowMessage(std::string_view text) override { next_.ShowMessage(text); }
  void OnLinkFailure(LinkFailure failure, std::string_view text, std::string_view cause) override {
    next_.OnLinkFailure(failure, text, cause);
    if (failure == LinkFailure::ConnectionLost && station_ != nullptr) {
      station_->OnLinkLost();
    }
  }

 private:
  MessageSink& next_;
  Station* station_ = nullptr;
};

Bench::Bench() = default;
Bench::~Bench() {
  if (sink_) {
    sink_->SetStation(nullptr);  // the station goes before the link
  }
}

std::unique_ptr<Bench> Bench::Open(const BenchOptions& options, MessageSink& sink) {
  std::unique_ptr<Bench> bench(new Bench());
  bench->iniPath_ = options.iniPath.empty() ? DefaultIniPath() : options.iniPath;
  bench->settings_ = LoadLinkSettings(bench->iniPath_, &bench->warnings_);
  if (options.adjust) {
    bench->settings_ = options.adjust(bench->settings_);
  }
  bench->sink_ = std::make_unique<LinkLossSink>(sink);
  bench->clock_ = std::make_unique<SystemClock>();
  if (options.simulated) {
    SimLoadConfig config;
    if (!options.simModel.empty()) {
      config.modelText = options.simModel;
    }
    config.keepLog = false;
    bench->simLoad_ = std::make_unique<SimulatedLoad>(config);
    bench->link_ = std::make_unique<SimulatedLink>(*bench->simLoad_, *bench->clock_, kModeSerial);
  } else {
    auto router = std::make_unique<LinkRouter>(bench->settings_, *bench->sink_,
                                               QString::fromStdString(options.gpibLibrary));
    bench->router_ = router.get();
    bench->link_ = std::move(router);
  }
  bench->watch_ = std::make_unique<LinkWatch>(*bench->link_);
  bench->station_ = std::make_unique<Station>(*bench->watch_, *bench->clock_);
  bench->sink_->SetStation(bench->station_.get());
  return bench;
}

Station& Bench::GetStation() {
  return *station_;
}

LinkWatch& Bench::Watch() {
  return *watch_;
}

LinkRouter* Bench::Router() {
  return router_;
}

const std::string& Bench::IniPath() const {
  return iniPath_;
}

const LinkSettings& Bench::Settings() const {
  return settings_;
}

const std::vector<std::string>& Bench::Warnings() const {
  return warnings_;
}

bool Bench::Simulated() const {
  return simLoad_ != nullptr;
}

std::string Bench::SimulatedModel() const {
  return simLoad_ != nullptr ? simLoad_->ModelText() : std::string();
}

void Bench::ApplySettings(const LinkSettings& settings) {
  settings_ = settings;
  if (router_ != nullptr) {
    router_->SetSettings(settings);
  }
}

}  // namespace kv
