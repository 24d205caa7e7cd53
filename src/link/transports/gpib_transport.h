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

namespace kv {

class GpibTransport {
 public:
  /// The libraries tried in order when no path is given: linux-gpib and the
  /// NI driver on Linux, the 32/64-bit driver names on Windows.
  static QStringList DefaultLibraryNames();

  /// Tries DefaultLibraryNames() on the first Open.
  GpibTransport();
  /// Loads only `libraryPath` (tests load a fake driver this way).
  explicit GpibTransport(QString libraryPath);
  ~GpibTransport();
  GpibTransport(const GpibTransport&) = delete;
  GpibTransport& operator=(const GpibTransport&) = delete;

  /// Asks the driver for a descriptor of board `board`, primary address
  /// `address` (1 s time-out, EOI on the last byte written). A descriptor from
  /// an earlier open is taken offline first. Returns whether the driver gave
  /// a usable (positive) descriptor; a failed open keeps what it returned.
  bool Open(int board, int address);
  /// The command bytes, no terminator; nothing happens before an open.
  void Write(std::string_view line);
  /// Up to 256 bytes, reply-trimmed; "ErrRec" before an open, without a
  /// driver, or when the read transferred nothing.
  std::string Read();
  /// Takes the device offline; the descriptor value is kept, as the driver
  /// may hand the same one out again.
  void Close();

  /// Whether a driver library is loaded and has the calls we need.
  bool HasDriver();
  /// The descriptor of the last open; 0 before any open.
  int Device() const { return device_; }

 private:
  using IbdevFn = int (*)(int, int, int, int, int, int);
  using IbwrtFn = int (*)(int, const void*, long);
  using IbrdFn = int (*)(int, void*, long);
  using IbonlFn = int (*)(int, int);
  using ThreadIbcntlFn = long (*)();
  using ThreadIbcntFn = int (*)();
  using RegisterGlobalsFn = int (*)(int*, int*, int*, long*);
  using UnregisterGlobalsFn = int (*)();

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
