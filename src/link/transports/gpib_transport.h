#pragma once
// GPIB through an NI-488.2-compatible library loaded at run time, so the
// program starts and runs on machines without any GPIB driver: without a
// library there is simply no device and every read gives "ErrRec".

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>
#include <thread>

#include "link/transport.h"

// The 32-bit Windows drivers use the standard Windows calling convention.
#if defined(_WIN32) && !defined(_WIN64)
#define KV_GPIB_CALL __stdcall
#else
#define KV_GPIB_CALL
#endif

namespace kv {

class GpibTransport : public Transport {
 public:
  /// The libraries tried in order when no path is given: linux-gpib and the
  /// NI driver on Linux, the 32/64-bit driver names on Windows.
  static QStringList DefaultLibraryNames();

  /// Tries DefaultLibraryNames() on the first Open.
  GpibTransport();
  /// Loads only `libraryPath` (tests load a fake driver this way).
  explicit GpibTransport(QString libraryPath);
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

  /// Whether a driver library is loaded and has the calls we need.
  bool HasDriver();
  /// The descriptor of the last open; 0 before any open.
  int Device() const { return device_; }

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
  void EnsureThreadRegistered();
  long LastByteCount();

  QString libraryPath_;
  QLibrary library_;
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
  bool registered_ = false;
  std::thread::id registeredThread_;
  // The status variables the driver fills per thread once registered.
  int ibsta_ = 0;
  int iberr_ = 0;
  int ibcnt_ = 0;
  long ibcntl_ = 0;
  int device_ = 0;
  bool online_ = false;  // device_ has not been taken offline
};

}  // namespace kv
