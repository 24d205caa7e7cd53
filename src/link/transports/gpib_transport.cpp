#include "link/transports/gpib_transport.h"

#include <algorithm>
#include <array>
#include <utility>

#include "link/instrument_link.h"
#include "link/reply_rules.h"

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

GpibTransport::GpibTransport() = default;

GpibTransport::GpibTransport(QString libraryPath) : libraryPath_(std::move(libraryPath)) {}

GpibTransport::~GpibTransport() {
  if (!loaded_) {
    return;
  }
  if (online_) {
    EnsureThreadRegistered();
    ibonl_(device_, 0);
  }
  // The driver must stop writing into this object's status variables.
  if (registered_ && unregister_ != nullptr) {
    unregister_();
  }
  // The library stays loaded: unloading a driver that may keep threads of
  // its own is not worth the risk at the end of a run.
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
  for (const QString& name : candidates) {
    library_.setFileName(name);
    if (!library_.load()) {
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
      return true;
    }
    library_.unload();
  }
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
  EnsureThreadRegistered();
  // Asking again without releasing would leak one descriptor per open, and
  // the identification opens at every run.
  if (online_) {
    ibonl_(device_, 0);
  }
  device_ =
      ibdev_(board, address, kNoSecondaryAddress, kTimeout1s, kEotAssertEoi, kEosNoTermination);
  online_ = device_ > 0;
  return online_;
}

void GpibTransport::OpenInstrument(const LinkSettings& settings) {
  Open(kGpibBoard, settings.address);
}

// A descriptor taken offline (or never given) is not used: the driver may
// hand the same number out again.
void GpibTransport::Write(std::string_view line) {
  if (!online_) {
    return;
  }
  EnsureThreadRegistered();
  ibwrt_(device_, line.data(), static_cast<long>(line.size()));
}

std::string GpibTransport::Read() {
  if (!online_) {
    return std::string(kErrRec);
  }
  EnsureThreadRegistered();
  std::array<char, kGpibReadSize> buffer{};
  ibrd_(device_, buffer.data(), static_cast<long>(buffer.size()));
  const long count = LastByteCount();
  const std::size_t kept =
      count <= 0 ? 0 : std::min(static_cast<std::size_t>(count), buffer.size());
  return GpibReply(std::string_view(buffer.data(), kept));
}

void GpibTransport::Close() {
  if (!online_) {
    return;
  }
  EnsureThreadRegistered();
  ibonl_(device_, 0);
  online_ = false;
}

}  // namespace kv
