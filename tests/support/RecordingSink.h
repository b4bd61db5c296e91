// An engine log sink that keeps every line, with error lines formatted the
// way the process log writes them ("Error (code): text" without the text's
// final period), and installs itself for the lifetime of the object.
#pragma once

#include <string>
#include <vector>

#include "DefragAPI.h"

class RecordingSink final : public TEngineLogSink {
 public:
  explicit RecordingSink(int level = 2);
  ~RecordingSink() override;
  RecordingSink(const RecordingSink&) = delete;
  RecordingSink& operator=(const RecordingSink&) = delete;

  void Line(const std::string& text) override { lines.push_back(text); }
  void Error(std::int32_t code) override;
  void SystemInfo() override { ++systemInfoRequests; }

  std::vector<std::string> lines;
  int systemInfoRequests = 0;

 private:
  TEngineLogSink* previous_;
  std::int32_t previousLevel_;
};
