#include "link/transports/gpib_transport.h"

#include <QMetaObject>
#include <algorithm>
#include <array>
#include <atomic>
#include <optional>
#include <utility>

#include "link/instrument_link.h"
#include "link/reply_rules.h"
#include "link/transports/event_wait.h"

namespace kv {
namespace {

// ibdev arguments: no secondary address, T1s time-out, EOI with the last byte
// written, and an end-of-string byte with no termination mode, so reads end
// only on EOI, a full buffer or the time-out.
constexpr int kNoSecondaryAddress = 0;
constexpr int kTimeout1s = 11;
constexpr int kEotAssertEoi = 11;
constexpr int kEosNoTermination = 1;
// The board the link always uses, whatever the settings file says.
constexpr int kGpibBoard = 0;
// The status word's ERR bit: the driver did not complete the call.
constexpr int kGpibErrBit = 0x8000;

// Outcomes of RegisterGpibGlobalsForThread.
constexpr int kRegistered = 0;
constexpr int kAlreadyRegistered = 1;
constexpr int kRegisterFailedA = 2;
constexpr int kRegisterFailedB = 3;

}  // namespace

QStringList GpibTransport::DefaultLibraryNames() {
#ifdef Q_OS_WIN
  return {QStringLiteral("ni4882.dll"), QStringLiteral("gpib-32.dll")};
#else
  return {QStringLiteral("libgpib.so.0"), QStringLiteral("libni4882.so")};
#endif
}

GpibTransport::GpibTransport(MessageSink& sink, QString libraryPath)
    : sink_(sink), libraryPath_(std::move(libraryPath)) {
  // The thread starts with the driver: most links never use GPIB.
  thread_.setObjectName(QStringLiteral("gpib"));
  threadContext_->moveToThread(&thread_);
}

GpibTransport::~GpibTransport() {
  if (loaded_) {
    const bool online = online_;
    const int device = device_;
    QMetaObject::invokeMethod(
        threadContext_.get(),
        [this, online, device] {
          if (online) {
            EnsureThreadRegistered();
            ibonl_(device, 0);
          }
          // The driver must stop writing into this object's status variables.
          if (registered_ && unregister_ != nullptr) {
            unregister_();
          }
        },
        Qt::BlockingQueuedConnection);
  }
  thread_.quit();
  thread_.wait();
  threadContext_.reset();
  // The library stays loaded: unloading a driver that may keep threads of
  // its own is not worth the risk at the end of a run.
}

template <typename Call>
auto GpibTransport::OnGpibThread(Call call) -> decltype(call()) {
  using Result = decltype(call());
  std::optional<Result> result;
  std::atomic<bool> done = false;
  EventWait wait(-1);
  wait.WakeOn(this, &GpibTransport::callFinished);
  QMetaObject::invokeMethod(
      threadContext_.get(),
      [this, &call, &result, &done] {
        result = call();
        done.store(true);
        emit callFinished();
      },
      Qt::QueuedConnection);
  // Every call ends within the driver's time-out; a call started from inside
  // this wait (Stop) waits for its own turn and wakes this one as well.
  while (!done.load()) {
    wait.WaitOnce();
  }
  return std::move(*result);
}

bool GpibTransport::HasDriver() {
  return LoadDriver();
}

bool GpibTransport::LoadDriver() {
  if (loadTried_) {
    return loaded_;
  }
  loadTried_ = true;
  const QStringList candidates =
      libraryPath_.isEmpty() ? DefaultLibraryNames() : QStringList{libraryPath_};
  QStringList reasons;
  for (const QString& name : candidates) {
    library_.setFileName(name);
    if (!library_.load()) {
      reasons.append(library_.errorString());
      continue;
    }
    ibdev_ = reinterpret_cast<IbdevFn>(library_.resolve("ibdev"));
    ibwrt_ = reinterpret_cast<IbwrtFn>(library_.resolve("ibwrt"));
    ibrd_ = reinterpret_cast<IbrdFn>(library_.resolve("ibrd"));
    ibonl_ = reinterpret_cast<IbonlFn>(library_.resolve("ibonl"));
    threadIbcntl_ = reinterpret_cast<ThreadIbcntlFn>(library_.resolve("ThreadIbcntl"));
    threadIbcnt_ = reinterpret_cast<ThreadIbcntFn>(library_.resolve("ThreadIbcnt"));
    register_ =
        reinterpret_cast<RegisterGlobalsFn>(library_.resolve("RegisterGpibGlobalsForThread"));
    unregister_ =
        reinterpret_cast<UnregisterGlobalsFn>(library_.resolve("UnregisterGpibGlobalsForThread"));
    if (ibdev_ != nullptr && ibwrt_ != nullptr && ibrd_ != nullptr && ibonl_ != nullptr) {
      loaded_ = true;
      thread_.start();
      return true;
    }
    reasons.append(name + QStringLiteral(": lacks ibdev, ibwrt, ibrd or ibonl"));
    library_.unload();
  }
  // Without this the operator sees only "ErrRec" and cannot tell a missing
  // driver from a silent load.
  loadError_ = QStringLiteral("No GPIB driver library could be loaded (") +
               candidates.join(QStringLiteral(", ")) + QStringLiteral("): ") +
               reasons.join(QStringLiteral("; "));
  sink_.OnLinkFailure(LinkFailure::DriverUnavailable, loadError_.toStdString(), "");
  return false;
}

// Drivers that keep their status variables per thread want them registered
// before the first call on each thread; a failed registration is retried
// before every later call.
void GpibTransport::EnsureThreadRegistered() {
  if (register_ == nullptr) {
    return;
  }
  const std::thread::id thread = std::this_thread::get_id();
  if (registered_ && registeredThread_ == thread) {
    return;
  }
  registered_ = false;
  const int outcome = register_(&ibsta_, &iberr_, &ibcnt_, &ibcntl_);
  if (outcome == kRegistered) {
    registered_ = true;
  } else if (outcome == kAlreadyRegistered) {
    if (unregister_ != nullptr) {
      unregister_();
    }
    register_(&ibsta_, &iberr_, &ibcnt_, &ibcntl_);
    registered_ = true;
  } else if ((outcome == kRegisterFailedA || outcome == kRegisterFailedB) &&
             unregister_ != nullptr) {
    unregister_();
  }
  if (registered_) {
    registeredThread_ = thread;
  }
}

long GpibTransport::LastByteCount() {
  if (threadIbcntl_ != nullptr) {
    return threadIbcntl_();
  }
  if (threadIbcnt_ != nullptr) {
    return threadIbcnt_();
  }
  return registered_ ? ibcntl_ : 0;
}

bool GpibTransport::Open(int board, int address) {
  if (!LoadDriver()) {
    return false;
  }
  const bool online = online_;
  const int previous = device_;
  device_ = OnGpibThread([this, online, previous, board, address] {
    EnsureThreadRegistered();
    // Asking again without releasing would leak one descriptor per open, and
    // the identification opens at every run.
    if (online) {
      ibonl_(previous, 0);
    }
    return ibdev_(board, address, kNoSecondaryAddress, kTimeout1s, kEotAssertEoi,
                  kEosNoTermination);
  });
  online_ = device_ > 0;
  return online_;
}

void GpibTransport::OpenInstrument(const LinkSettings& settings) {
  Open(kGpibBoard, settings.address);
}

// The driver's own time-out bounds the open.
bool GpibTransport::Reconnect(const LinkSettings& settings, int /*timeoutMs*/) {
  return Open(kGpibBoard, settings.address);
}

// A descriptor taken offline (or never given) is not used: the driver may
// hand the same number out again.
void GpibTransport::Write(std::string_view line) {
  lastWriteDelivered_ = false;
  if (!online_) {
    return;
  }
  const int device = device_;
  const int status = OnGpibThread([this, device, bytes = std::string(line)] {
    EnsureThreadRegistered();
    return ibwrt_(device, bytes.data(), static_cast<long>(bytes.size()));
  });
  lastWriteDelivered_ = (status & kGpibErrBit) == 0;
}

std::string GpibTransport::Read() {
  if (!online_) {
    return std::string(kErrRec);
  }
  const int device = device_;
  return OnGpibThread([this, device] {
    EnsureThreadRegistered();
    std::array<char, kGpibReadSize> buffer{};
    ibrd_(device, buffer.data(), static_cast<long>(buffer.size()));
    // The count is per thread: it must be taken on the thread that read.
    const long count = LastByteCount();
    const std::size_t kept =
        count <= 0 ? 0 : std::min(static_cast<std::size_t>(count), buffer.size());
    return GpibReply(std::string_view(buffer.data(), kept));
  });
}

void GpibTransport::Close() {
  if (!online_) {
    return;
  }
  online_ = false;
  const int device = device_;
  OnGpibThread([this, device] {
    EnsureThreadRegistered();
    return ibonl_(device, 0);
  });
}

}  // namespace kv
