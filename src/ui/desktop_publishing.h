#pragma once
// The desktop program on a lab's broker: when [Publish] names a broker that
// can work, the station's runs are published and a remote "stop" ends a run
// as the Stop button does. Settings that cannot work are said once and
// leave publishing off; the bench runs as it would without them.

#include <memory>

#include "link/message_sink.h"
#include "station/run_publisher.h"

namespace kv {

class Bench;

/// Null when publishing is off or its settings cannot work (said to `sink`).
std::unique_ptr<RunPublisher> StartDesktopPublishing(Bench& bench, MessageSink& sink);

}  // namespace kv
