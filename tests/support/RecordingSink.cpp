#include "RecordingSink.h"

RecordingSink::RecordingSink(int level)
    : previous_(SetEngineLogSink(this)), previousLevel_(GetEngineLogLevel()) {
  SetEngineLogLevel(0);  // no system-info request from set-up
  SetEngineLogLevel(level);
  systemInfoRequests = 0;
}

RecordingSink::~RecordingSink() {
  SetEngineLogSink(previous_);
  SetEngineLogLevel(0);
  SetEngineLogLevel(previousLevel_ > 0 ? previousLevel_ : 0);
}

void RecordingSink::Error(std::int32_t code) {
  std::string text = plat::Current().FormatErrorMessage(static_cast<std::uint32_t>(code));
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
    text.pop_back();
  lines.push_back("Error (" + std::to_string(code) + "): " + text);
}
