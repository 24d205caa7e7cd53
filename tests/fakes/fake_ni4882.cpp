// A stand-in GPIB driver with the NI-488.2 entry points, loaded by the tests
// at run time exactly as the real driver is. It records every call as one
// text line and plays back replies queued by the test; the FakeGpib*
// functions are the test's side of it.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct FakeDriver {
  std::mutex mutex;
  std::vector<std::string> calls;
  std::deque<std::string> replies;
  std::deque<int> registerOutcomes;
  int nextDescriptor = 1;
  long readDelayMs = 0;  // how long a read blocks, as a slow device does
  int* ibsta = nullptr;
  int* iberr = nullptr;
  int* ibcnt = nullptr;
  long* ibcntl = nullptr;
};

FakeDriver& Driver() {
  static FakeDriver driver;
  return driver;
}

thread_local long lastCount = 0;

void SetCount(FakeDriver& d, long count) {
  lastCount = count;
  if (d.ibcntl != nullptr) {
    *d.ibcntl = count;
  }
  if (d.ibcnt != nullptr) {
    *d.ibcnt = static_cast<int>(count);
  }
}

}  // namespace

extern "C" {

// --- the driver calls ------------------------------------------------------

int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  const int ud = d.nextDescriptor++;
  d.calls.push_back("ibdev " + std::to_string(board) + " " + std::to_string(pad) + " " +
                    std::to_string(sad) + " " + std::to_string(tmo) + " " + std::to_string(eot) +
                    " " + std::to_string(eos) + " -> " + std::to_string(ud));
  return ud;
}

int ibwrt(int ud, const void* buffer, long count) {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  d.calls.push_back("ibwrt " + std::to_string(ud) + " " +
                    std::string(static_cast<const char*>(buffer), static_cast<std::size_t>(count)));
  SetCount(d, count);
  return 0;
}

int ibrd(int ud, void* buffer, long count) {
  FakeDriver& d = Driver();
  long delayMs = 0;
  {
    std::lock_guard lock(d.mutex);
    delayMs = d.readDelayMs;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  std::lock_guard lock(d.mutex);
  long transferred = 0;
  if (!d.replies.empty()) {
    std::string& reply = d.replies.front();
    transferred = std::min(count, static_cast<long>(reply.size()));
    std::memcpy(buffer, reply.data(), static_cast<std::size_t>(transferred));
    // What did not fit stays for the next read, as on the bus.
    reply.erase(0, static_cast<std::size_t>(transferred));
    if (reply.empty()) {
      d.replies.pop_front();
    }
  }
  d.calls.push_back("ibrd " + std::to_string(ud) + " " + std::to_string(count) + " -> " +
                    std::to_string(transferred));
  SetCount(d, transferred);
  return 0;
}

int ibonl(int ud, int online) {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  d.calls.push_back("ibonl " + std::to_string(ud) + " " + std::to_string(online));
  return 0;
}

long ThreadIbcntl() {
  return lastCount;
}

int RegisterGpibGlobalsForThread(int* ibsta, int* iberr, int* ibcnt, long* ibcntl) {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  int outcome = 0;
  if (!d.registerOutcomes.empty()) {
    outcome = d.registerOutcomes.front();
    d.registerOutcomes.pop_front();
  }
  d.calls.push_back("register -> " + std::to_string(outcome));
  if (outcome == 0 || outcome == 1) {
    d.ibsta = ibsta;
    d.iberr = iberr;
    d.ibcnt = ibcnt;
    d.ibcntl = ibcntl;
  }
  return outcome;
}

int UnregisterGpibGlobalsForThread() {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  d.calls.push_back("unregister");
  d.ibsta = nullptr;
  d.iberr = nullptr;
  d.ibcnt = nullptr;
  d.ibcntl = nullptr;
  return 0;
}

// --- the test's side -------------------------------------------------------

void FakeGpibReset() {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  d.calls.clear();
  d.replies.clear();
  d.registerOutcomes.clear();
  d.nextDescriptor = 1;
  d.readDelayMs = 0;
  d.ibsta = nullptr;
  d.iberr = nullptr;
  d.ibcnt = nullptr;
  d.ibcntl = nullptr;
  lastCount = 0;
}

/// Queues one reply the device sends; a read with none queued times out.
void FakeGpibQueueReply(const char* data, long size) {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  d.replies.emplace_back(data, static_cast<std::size_t>(size));
}

/// Every later read blocks `ms` before it returns.
void FakeGpibSetReadDelayMs(long ms) {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  d.readDelayMs = ms;
}

/// Queues the outcome of the next RegisterGpibGlobalsForThread call (0 when
/// none is queued).
void FakeGpibQueueRegisterOutcome(int outcome) {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  d.registerOutcomes.push_back(outcome);
}

/// Copies the recorded calls, one per line, into `buffer` (cut to `size`
/// including the terminating zero) and returns the full length.
long FakeGpibCalls(char* buffer, long size) {
  FakeDriver& d = Driver();
  std::lock_guard lock(d.mutex);
  std::string text;
  for (const std::string& call : d.calls) {
    text += call;
    text += '\n';
  }
  if (size > 0) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<long>(text.size());
}

}  // extern "C"
