// How far the active run is: files handed to the engine of the run's total
// and the file being worked on. The run thread writes it; the window reads
// it on its own timer, so progress costs the run thread no hand-over.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class TExecutor;

struct TRunProgress {
  struct TSnapshot {
    std::int64_t Done = 0;   // files finished (handed over before the current batch)
    std::int64_t Total = 0;  // files the run's entries expand to; 0 while unknown
    std::string Current;     // the first file of the batch being worked on
  };
  TSnapshot Read();
  // Every file handed over: the run has ended.
  void Finish();

  std::mutex Mutex;
  TSnapshot State;
  std::int64_t HandedOver = 0;
};

// Fills `progress` from `run`: the total is counted when the run starts
// (its entries are expanded once more for that, on the run thread, which
// then holds the run lock), the rest as the run hands files to the engine.
// Call after the run's own OnStart is set; it is wrapped.
void TrackProgress(TExecutor& run, const std::shared_ptr<TRunProgress>& progress);
