#include "RunProgress.h"

#include <vector>

#include "Executor.h"

TRunProgress::TSnapshot TRunProgress::Read() {
  std::lock_guard guard(Mutex);
  return State;
}

void TRunProgress::Finish() {
  std::lock_guard guard(Mutex);
  State.Done = HandedOver;
  State.Current.clear();
}

void TrackProgress(TExecutor& run, const std::shared_ptr<TRunProgress>& progress) {
  TExecutor::TExecutorEvent onStart = std::move(run.OnStart);
  run.OnStart = [progress, onStart = std::move(onStart)](TExecutor& e) {
    std::vector<std::string> files;
    for (const std::string& entry : e.Profile().Files) ExpandEntry(entry, files, {});
    {
      std::lock_guard guard(progress->Mutex);
      progress->State.Total = static_cast<std::int64_t>(files.size());
    }
    if (onStart) onStart(e);
  };
  run.Profile().OnFiles = [progress](const std::vector<std::string>& files) {
    std::lock_guard guard(progress->Mutex);
    progress->State.Done = progress->HandedOver;
    progress->State.Current = files.front();
    progress->HandedOver += static_cast<std::int64_t>(files.size());
  };
}
