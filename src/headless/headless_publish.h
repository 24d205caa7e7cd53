#pragma once
// kvload-run on a lab's broker: the [Publish] settings with --publish,
// --bench and --remote-stop laid over them, refused before anything is
// connected when they cannot work, and the publisher wired to the run.

#include <memory>
#include <optional>
#include <string>

#include "base/clock.h"
#include "headless/headless_console.h"
#include "headless/headless_options.h"
#include "publish/publish_settings.h"
#include "station/json_lines.h"
#include "station/run_publisher.h"

namespace kv {

class HeadlessRun;
class Station;

/// False (the problem shown) when publishing is asked for and cannot work;
/// `config` is empty when publishing is off.
bool CheckHeadlessPublish(const HeadlessOptions& options, const std::string& iniPath,
                          HeadlessConsole& console, std::optional<PublishConfig>* config);

/// The publisher of `run` on `station`, or null when `config` is empty.
std::unique_ptr<RunPublisher> StartHeadlessPublisher(const std::optional<PublishConfig>& config,
                                                     Station& station, const Clock& clock,
                                                     const JsonRunIdentity& identity,
                                                     HeadlessRun& run, HeadlessConsole& console);

/// Publishes the end object and says how many messages the broker missed.
void EndHeadlessPublishing(RunPublisher* publisher, const std::string& endLine,
                           HeadlessConsole& console);

}  // namespace kv
