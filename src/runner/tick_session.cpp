#include "runner/tick_session.h"

#include <utility>

#include "results/identification.h"

namespace kv::detail {

void GuardedLink::OpenInstrument(std::int16_t mode) {
  if (!Halted()) {
    link_.OpenInstrument(mode);
  }
}

void GuardedLink::CloseInstrument() {
  if (!Halted()) {
    link_.CloseInstrument();
  }
}

void GuardedLink::WriteInstrument(std::string_view command) {
  if (!Halted()) {
    link_.WriteInstrument(command);
  }
}

std::string GuardedLink::ReadInstrument() {
  if (Halted()) {
    return {};
  }
  return link_.ReadInstrument();
}

std::string GuardedLink::WaitRecvBuf(int timeoutMs) {
  if (Halted()) {
    return {};
  }
  return link_.WaitRecvBuf(timeoutMs);
}

void GuardedLink::ClearRecvBuf() {
  if (!Halted()) {
    link_.ClearRecvBuf();
  }
}

std::string TickSession::Query(std::string_view line) {
  link.WriteInstrument(line);
  return link.ReadInstrument();
}

bool TickSession::BatteryCapable() const {
  return ctx.modelText && IsBatteryCapable(ctx.modelText());
}

void TickSession::EndStep(StepEndReason reason, StepVerdict verdict, SkipReason skip) {
  if (!Halted()) {
    EndOpenStep(state, ctx, reason, verdict, skip);
  }
  ++state.currentRow;
  state.stepPending = true;
}

void TickSession::AddRow(ResultRow cells) {
  const std::size_t index = ctx.log.AddNumberedRow(std::move(cells));
  if (ctx.observer != nullptr) {
    ctx.observer->OnRowAdded(index);
  }
}

void TickSession::Notice(const std::string& text) {
  if (ctx.observer != nullptr) {
    ctx.observer->OnNotice(text);
  }
}

}  // namespace kv::detail
