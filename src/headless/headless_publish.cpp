#include "headless/headless_publish.h"

#include <QSysInfo>

#include "headless/headless_runner.h"

namespace kv {

bool CheckHeadlessPublish(const HeadlessOptions& options, const std::string& iniPath,
                          HeadlessConsole& console, std::optional<PublishConfig>* config) {
  PublishSettings settings = ReadPublishSettings(iniPath);
  if (!options.publishBroker.empty()) {
    settings.broker = options.publishBroker;
  }
  if (!options.benchName.empty()) {
    settings.bench = options.benchName;
  }
  settings.remoteStop = settings.remoteStop || options.remoteStop;
  config->reset();
  if (!settings.On()) {
    if (!options.benchName.empty() || options.remoteStop) {
      console.Error("--bench and --remote-stop need a broker (--publish or [Publish] Broker)");
      return false;
    }
    return true;
  }
  std::string problem;
  *config = CheckPublishSettings(settings, QSysInfo::machineHostName().toStdString(), &problem);
  if (!*config) {
    console.Error("[Publish] " + problem + "; nothing was connected");
    return false;
  }
  return true;
}

std::unique_ptr<RunPublisher> StartHeadlessPublisher(const std::optional<PublishConfig>& config,
                                                     Station& station, const Clock& clock,
                                                     const JsonRunIdentity& identity,
                                                     HeadlessRun& run, HeadlessConsole& console) {
  if (!config) {
    return nullptr;
  }
  auto publisher = std::make_unique<RunPublisher>(
      station, clock, *config,
      PublishedBench{identity.program, identity.version, identity.listPath});
  QObject::connect(publisher.get(), &RunPublisher::remoteStopRequested, &run,
                   &HeadlessRun::RemoteStop);
  QObject::connect(publisher.get(), &RunPublisher::notice, &run,
                   [&console](const QString& text) { console.Warn(text.toStdString()); });
  console.Info("publishing to " + config->address.host + ":" +
               std::to_string(config->address.port) + " as bench \"" + config->bench + "\"" +
               (config->remoteStop ? ", remote stop on" : ""));
  return publisher;
}

void EndHeadlessPublishing(RunPublisher* publisher, const std::string& endLine,
                           HeadlessConsole& console) {
  if (publisher == nullptr) {
    return;
  }
  publisher->PublishEnd(endLine);
  if (const std::size_t dropped = publisher->TakeUntoldDrops(); dropped > 0) {
    console.Warn("the broker was out of reach: the " + std::to_string(dropped) +
                 " oldest messages were not published");
  }
}

}  // namespace kv
