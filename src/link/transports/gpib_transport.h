#pragma once
// GPIB through an NI-488.2-compatible library loaded at run time, so the
// program starts and runs on machines without any GPIB driver: without a
// library there is simply no device and every read gives "ErrRec".
//
// A driver call blocks for up to its one-second time-out. The calls run on a
// thread of the transport's own while the caller waits in an event loop, so
// the window keeps handling events. Calls stay in order: a line written
// during a wait (Stop's "LOAD OFF") is queued behind the call in flight and
// goes out the moment that call returns.

#include <QLibrary>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "link/message_sink.h"
#include "link/transport.h"

// The 32-bit Windows drivers use the standard Windows calling convention.
#if defined(_WIN32) && !defined(_WIN64)
#define KV_GPIB_CALL __stdcall
#else
#define KV_GPIB_CALL
#endif

namespace kv {

class GpibTransport : public QObject, public Transport {
  Q_OBJECT

 public:
  /// The libraries tried in order when no path is given: linux-gpib and the
  /// NI driver on Linux, the 32/64-bit driver names on Windows.
  static QStringList DefaultLibraryNames();

  /// Loads `libraryPath` on the first Open, or tries DefaultLibraryNames()
  /// when it is empty (tests load a fake driver this way). A driver that
  /// cannot be loaded is told once to `sink` (LinkFailure::DriverUnavailable,
  /// naming every library tried and why); `sink` must outlive the transport.
  explicit GpibTransport(MessageSink& sink, QString libraryPath = {});
  ~GpibTransport() override;
  GpibTransport(const GpibTransport&) = delete;
  GpibTransport& operator=(const GpibTransport&) = delete;

  /// Asks the driver for a descriptor of board `board`, primary address
  /// `address` (1 s time-out, EOI on the last byte written). A descriptor from
  /// an earlier open is taken offline first. Returns whether the driver gave
  /// a usable (positive) descriptor; Device() holds whatever it returned.
  bool Open(int board, int address);
  /// The command bytes, no terminator; nothing happens before an open.
  void Write(std::string_view line);
  /// Up to 256 bytes, reply-trimmed; "ErrRec" before an open, without a
  /// driver, or when the read transferred nothing.
  std::string Read();
  /// Takes the device offline; later writes do nothing and reads give
  /// "ErrRec" until the next open. Device() keeps its value.
  void Close();

  /// Board 0 at the settings' address.
  void OpenInstrument(const LinkSettings& settings) override;
  void CloseInstrument() override { Close(); }
  void WriteInstrument(std::string_view command) override { Write(command); }
  std::string ReadInstrument() override { return Read(); }
  bool Reconnect(const LinkSettings& settings, int timeoutMs) override;
  bool LastWriteDelivered() const override { return lastWriteDelivered_; }

  /// Whether a driver library is loaded and has the calls we need.
  bool HasDriver();
  /// Why no driver could be loaded: each library tried and its error; "" while
  /// none was tried or one was loaded.
  const QString& LoadError() const { return loadError_; }
  /// The descriptor of the last open; 0 before any open.
  int Device() const { return device_; }

 signals:
  /// A driver call on the GPIB thread returned.
  void callFinished();

 private:
  using IbdevFn = int(KV_GPIB_CALL*)(int, int, int, int, int, int);
  using IbwrtFn = int(KV_GPIB_CALL*)(int, const void*, long);
  using IbrdFn = int(KV_GPIB_CALL*)(int, void*, long);
  using IbonlFn = int(KV_GPIB_CALL*)(int, int);
  using ThreadIbcntlFn = long(KV_GPIB_CALL*)();
  using ThreadIbcntFn = int(KV_GPIB_CALL*)();
  using RegisterGlobalsFn = int(KV_GPIB_CALL*)(int*, int*, int*, long*);
  using UnregisterGlobalsFn = int(KV_GPIB_CALL*)();

  bool LoadDriver();
  /// Runs `call` on the GPIB thread and waits for it without blocking events.
  template <typename Call>
  auto OnGpibThread(Call call) -> decltype(call());
  void EnsureThreadRegistered();
  long LastByteCount();

  MessageSink& sink_;
  QString libraryPath_;
  QString loadError_;
  QLibrary library_;
  QThread thread_;
  std::unique_ptr<QObject> threadContext_ = std::make_unique<QObject>();  // lives on thread_
  bool loadTried_ = false;
  bool loaded_ = false;
  IbdevFn ibdev_ = nullptr;
  IbwrtFn ibwrt_ = nullptr;
  IbrdFn ibrd_ = nullptr;
  IbonlFn ibonl_ = nullptr;
  ThreadIbcntlFn threadIbcntl_ = nullptr;
  ThreadIbcntFn threadIbcnt_ = nullptr;  // older drivers lack ThreadIbcntl
  RegisterGlobalsFn register_ = nullptr;
  UnregisterGlobalsFn unregister_ = nullptr;
  // Registration and the status variables belong to the GPIB thread.
  bool registered_ = false;
  std::thread::id registeredThread_;
  // The status variables the driver fills per thread once registered.
  int ibsta_ = 0;
  int iberr_ = 0;
  int ibcnt_ = 0;
  long ibcntl_ = 0;
  // Read and written on the caller's thread only; the GPIB thread gets copies.
  int device_ = 0;
  bool online_ = false;
  bool lastWriteDelivered_ = false;  // device_ has not been taken offline
};

}  // namespace kv
