#include "FileMeasure.h"

#include <utility>

#include "DefragAPI.h"

TFileMeasure MeasureFile(const std::string& path) {
  TFileMeasure measure;
  const plat::HANDLE file = plat::CreateFileA(path, plat::GENERIC_READ, plat::FILE_SHARE_READ,
                                              plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
  if (file == plat::INVALID_HANDLE_VALUE) return measure;
  if (!plat::Current().GetFileSizeEx(file, measure.Size)) measure.Size = -1;
  measure.Fragments = GetFileFragmentCount(file);
  plat::CloseHandle(file);
  return measure;
}

TMeasureQueue::TMeasureQueue(std::function<void()> ready) : ready_(std::move(ready)) {}

TMeasureQueue::~TMeasureQueue() { Stop(); }

void TMeasureQueue::Add(std::vector<TJob> jobs) {
  if (jobs.empty()) return;
  std::lock_guard guard(lock_);
  for (TJob& job : jobs) jobs_.push_back(std::move(job));
  if (!worker_.joinable()) {
    stop_ = false;
    worker_ = std::thread(&TMeasureQueue::Work, this);
  }
  wake_.notify_one();
}

std::vector<TMeasureQueue::TResult> TMeasureQueue::Take() {
  std::lock_guard guard(lock_);
  return std::exchange(results_, {});
}

bool TMeasureQueue::Idle() const {
  std::lock_guard guard(lock_);
  return jobs_.empty() && !busy_ && results_.empty();
}

void TMeasureQueue::Stop() {
  {
    std::lock_guard guard(lock_);
    stop_ = true;
    jobs_.clear();
  }
  wake_.notify_one();
  if (worker_.joinable()) worker_.join();
  std::lock_guard guard(lock_);
  results_.clear();
}

void TMeasureQueue::Work() {
  std::unique_lock guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return stop_ || !jobs_.empty(); });
    if (stop_) return;
    TJob job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    guard.unlock();
    const TFileMeasure measure = MeasureFile(job.Path);
    guard.lock();
    busy_ = false;
    if (stop_) return;
    const bool first = results_.empty();
    results_.push_back({job.Ticket, measure});
    // Called with the lock held so Stop cannot finish (and the owner go
    // away) between the decision and the call; `ready_` only posts.
    if (first && ready_) ready_();
  }
}
