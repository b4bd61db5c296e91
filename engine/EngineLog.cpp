// The engine's log hook: a verbosity filter in front of a replaceable sink.
#include <atomic>

#include "DefragAPI.h"

namespace {
// The verbosity is read by run threads without a lock; an atomic makes
// that well-defined at no cost.
std::atomic<std::int32_t> gLevel{0};
std::atomic<TEngineLogSink*> gSink{nullptr};

TEngineLogSink* SinkFor(std::int32_t level) {
  if (level > gLevel.load(std::memory_order_relaxed)) return nullptr;
  return gSink.load(std::memory_order_acquire);
}
}  // namespace

TEngineLogSink* SetEngineLogSink(TEngineLogSink* sink) {
  return gSink.exchange(sink, std::memory_order_acq_rel);
}

void EngineLog(std::int32_t level, const std::string& text) {
  if (TEngineLogSink* sink = SinkFor(level)) sink->Line(text);
}

void EngineLogError(std::int32_t level, std::int32_t code) {
  if (TEngineLogSink* sink = SinkFor(level)) sink->Error(code);
}

void EngineLogLastError(std::int32_t level) {
  if (TEngineLogSink* sink = SinkFor(level))
    sink->Error(static_cast<std::int32_t>(plat::GetLastError()));
}

void SetEngineLogLevel(std::int32_t level) {
  gLevel.store(level, std::memory_order_relaxed);
  if (level > 0)
    if (TEngineLogSink* sink = gSink.load(std::memory_order_acquire)) sink->SystemInfo();
}

std::int32_t GetEngineLogLevel() { return gLevel.load(std::memory_order_relaxed); }
