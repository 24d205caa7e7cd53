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

struct State {
  std::vector<std::string> calls;
  std::deque<std::string> replies;
  std::deque<int> registerOutcomes;
  int nextDescriptor = 1;
  long readDelayMs = 0;  // how long a read blocks, as a slow device does
};

std::mutex mutex;
State state;

// The transport asks for the count of the last transfer on the thread that made it.
thread_local long lastCount = 0;

std::string Words(std::initializer_list<long> numbers) {
  std::string text;
  for (const long n : numbers) {
    text += " " + std::to_string(n);
  }
  return text;
}

}  // namespace

extern "C" {

// --- the driver calls ------------------------------------------------------

int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) {
  std::lock_guard lock(mutex);
  const int ud = state.nextDescriptor++;
  state.calls.push_back("ibdev" + Words({board, pad, sad, tmo, eot, eos}) + " ->" + Words({ud}));
  return ud;
}

int ibwrt(int ud, const void* buffer, long count) {
  std::lock_guard lock(mutex);
  state.calls.push_back(
      "ibwrt" + Words({ud}) + " " +
      std::string(static_cast<const char*>(buffer), static_cast<std::size_t>(count)));
  return 0;
}

int ibrd(int ud, void* buffer, long count) {
  long delayMs = 0;
  {
    std::lock_guard lock(mutex);
    delayMs = state.readDelayMs;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  std::lock_guard lock(mutex);
  lastCount = 0;
  if (!state.replies.empty()) {
    std::string& reply = state.replies.front();
    lastCount = std::min(count, static_cast<long>(reply.size()));
    std::memcpy(buffer, reply.data(), static_cast<std::size_t>(lastCount));
    // What did not fit stays for the next read, as on the bus.
    reply.erase(0, static_cast<std::size_t>(lastCount));
    if (reply.empty()) {
      state.replies.pop_front();
    }
  }
  state.calls.push_back("ibrd" + Words({ud, count}) + " ->" + Words({lastCount}));
  return 0;
}

int ibonl(int ud, int online) {
  std::lock_guard lock(mutex);
  state.calls.push_back("ibonl" + Words({ud, online}));
  return 0;
}

long ThreadIbcntl() {
  return lastCount;
}

// The status variables it is handed are never written: the transport reads
// the count through ThreadIbcntl.
int RegisterGpibGlobalsForThread(int* /*ibsta*/, int* /*iberr*/, int* /*ibcnt*/, long* /*ibcntl*/) {
  std::lock_guard lock(mutex);
  int outcome = 0;
  if (!state.registerOutcomes.empty()) {
    outcome = state.registerOutcomes.front();
    state.registerOutcomes.pop_front();
  }
  state.calls.push_back("register ->" + Words({outcome}));
  return outcome;
}

int UnregisterGpibGlobalsForThread() {
  std::lock_guard lock(mutex);
  state.calls.push_back("unregister");
  return 0;
}

// --- the test's side -------------------------------------------------------

void FakeGpibReset() {
  std::lock_guard lock(mutex);
  state = State{};
}

/// Queues one reply the device sends; a read with none queued times out.
void FakeGpibQueueReply(const char* data, long size) {
  std::lock_guard lock(mutex);
  state.replies.emplace_back(data, static_cast<std::size_t>(size));
}

/// Every later read blocks `ms` before it returns.
void FakeGpibSetReadDelayMs(long ms) {
  std::lock_guard lock(mutex);
  state.readDelayMs = ms;
}

/// Queues the outcome of the next RegisterGpibGlobalsForThread call (0 when
/// none is queued).
void FakeGpibQueueRegisterOutcome(int outcome) {
  std::lock_guard lock(mutex);
  state.registerOutcomes.push_back(outcome);
}

/// Copies the recorded calls, one per line, into `buffer` (cut to `size`
/// including the terminating zero) and returns the full length.
long FakeGpibCalls(char* buffer, long size) {
  std::lock_guard lock(mutex);
  std::string text;
  for (const std::string& call : state.calls) {
    text += call + '\n';
  }
  if (size > 0) {
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<long>(text.size());
}

}  // extern "C"
