// contigra's engine log sink: everything the hook lets through goes to Logger.
#include "DefragAPI.h"
#include "Log.h"

namespace {

class LoggerSink final : public TEngineLogSink {
 public:
  void Line(const std::string& text) override { Logger.AddLine(text); }
  void Error(std::int32_t code) override { Logger.AddError(code); }
  void SystemInfo() override { Logger.WriteSystemInfo(); }
};

LoggerSink gSink;

}  // namespace

void ConnectEngineLogToLogger() { SetEngineLogSink(&gSink); }
