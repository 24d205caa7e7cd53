// Not built by CI, which cross-builds only the pure core: kept to the few
// calls that SetThreadExecutionState needs.
#include <windows.h>

#include "station/sleep_inhibitor.h"

namespace kv {

// The state belongs to the thread that set it, the GUI thread that starts and
// ends runs; it lasts until that thread sets ES_CONTINUOUS alone.
struct SleepInhibitor::Lock {
  Lock() = default;
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  ~Lock() { ::SetThreadExecutionState(ES_CONTINUOUS); }
};

SleepInhibitor::SleepInhibitor(QString busAddress, QObject* parent)
    : QObject(parent), busAddress_(std::move(busAddress)) {}

SleepInhibitor::~SleepInhibitor() {
  Release();
}

bool SleepInhibitor::Acquire(const QString& /*why*/, QString* error) {
  if (IsHeld()) {
    return true;
  }
  if (::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) == 0) {
    if (error != nullptr) {
      *error =
          QStringLiteral("The computer may sleep during the run: Windows refused to stay awake");
    }
    return false;
  }
  lock_ = std::make_unique<Lock>();
  return true;
}

void SleepInhibitor::Release() {
  lock_.reset();
}

}  // namespace kv
