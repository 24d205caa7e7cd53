#include "ui/desktop_publishing.h"

#include <QCoreApplication>
#include <QSysInfo>

#include "publish/publish_settings.h"
#include "runner/system_clock.h"
#include "station/bench.h"
#include "station/station.h"

namespace kv {

std::unique_ptr<RunPublisher> StartDesktopPublishing(Bench& bench, MessageSink& sink) {
  const PublishSettings settings = ReadPublishSettings(bench.IniPath());
  if (!settings.On()) {
    return nullptr;
  }
  std::string problem;
  const std::optional<PublishConfig> config =
      CheckPublishSettings(settings, QSysInfo::machineHostName().toStdString(), &problem);
  if (!config) {
    sink.ShowMessage("[Publish] " + problem + "; runs are not published");
    return nullptr;
  }
  static const SystemClock clock;
  Station& station = bench.GetStation();
  auto publisher = std::make_unique<RunPublisher>(
      station, clock, *config,
      PublishedBench{"kvload", QCoreApplication::applicationVersion().toStdString(), ""});
  QObject::connect(publisher.get(), &RunPublisher::remoteStopRequested, &station, [&station] {
    if (station.IsRunning()) {
      station.StopBecause(RunEndReason::RemoteStopped);
    }
  });
  return publisher;
}

}  // namespace kv
