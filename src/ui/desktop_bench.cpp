#include "ui/desktop_bench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "link/transports/link_router.h"
#include "runner/system_clock.h"
#include "sim/link/simulated_link.h"
#include "sim/simulated_load.h"
#include "station/headless_runner.h"
#include "station/station.h"

namespace kv {

std::unique_ptr<DesktopBench> DesktopBench::Open(const DesktopBenchOptions& options,
                                                 MessageSink& sink) {
  std::unique_ptr<DesktopBench> bench(new DesktopBench);
  bench->iniPath_ = options.iniPath.empty() ? DesktopIniPath() : options.iniPath;
  const std::string programFolder =
      QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toStdString();
  bench->settings_ = LoadLinkSettings(bench->iniPath_, &bench->warnings_, programFolder);
  if (!options.iniPath.empty() && !QFileInfo::exists(QString::fromStdString(options.iniPath))) {
    bench->warnings_.push_back("no settings file \"" + options.iniPath +
                               "\": the defaults until a setting is saved");
  }
  if (options.adjust) {
    bench->settings_ = options.adjust(bench->settings_);
  }
  bench->clock_ = std::make_unique<SystemClock>();
  if (options.simulated) {
    SimLoadConfig config;
    if (!options.simModel.empty()) {
      config.modelText = options.simModel;
    }
    // A desktop run may last a week: the load's own line log would only grow.
    config.keepLog = false;
    bench->simLoad_ = std::make_unique<SimulatedLoad>(config);
    bench->link_ = std::make_unique<SimulatedLink>(*bench->simLoad_, *bench->clock_, kModeSerial);
  } else {
    auto router = std::make_unique<LinkRouter>(bench->settings_, sink,
                                               QString::fromStdString(options.gpibLibrary));
    bench->router_ = router.get();
    bench->link_ = std::move(router);
  }
  bench->station_ = std::make_unique<Station>(*bench->link_, *bench->clock_);
  return bench;
}

DesktopBench::~DesktopBench() = default;

void DesktopBench::ApplySettings(const LinkSettings& settings) {
  settings_ = settings;
  if (router_ != nullptr) {
    router_->SetSettings(settings);
  }
}

}  // namespace kv
