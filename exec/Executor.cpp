#include "Executor.h"

TRunLock MakeRunLock() { return std::make_shared<std::mutex>(); }

TExecutor::TExecutor(std::unique_ptr<TProfile> profile, TRunLock lock, TStopCallback checkStop)
    : lock_(std::move(lock)), profile_(std::move(profile)), checkStop_(std::move(checkStop)) {}

TExecutor* TExecutor::Create(const TProfile& source, TRunLock lock, bool createSuspended,
                             TStopCallback checkStop) {
  auto* executor =
      new TExecutor(std::make_unique<TProfile>(source), std::move(lock), std::move(checkStop));
  if (!createSuspended) executor->Resume();
  return executor;
}

TExecutor* TExecutor::Create(const std::string& fileName, TRunLock lock, bool createSuspended,
                             TStopCallback checkStop) {
  auto profile = std::make_unique<TProfile>();
  profile->Files.push_back(fileName);
  auto* executor = new TExecutor(std::move(profile), std::move(lock), std::move(checkStop));
  if (!createSuspended) executor->Resume();
  return executor;
}

TExecutor::~TExecutor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TExecutor::Resume() {
  if (thread_.joinable() || started_) return;
  started_ = true;
  // Decided before the thread starts: a self-freeing run must not touch
  // thread_ (the creator may still be writing it) and the creator must not
  // touch the object once the thread runs.
  const bool freeOnTerminate = FreeOnTerminate;
  std::thread run([this, freeOnTerminate] {
    Execute();
    if (freeOnTerminate) delete this;
  });
  if (freeOnTerminate)
    run.detach();
  else
    thread_ = std::move(run);
}

void TExecutor::Execute() {
  std::lock_guard hold(*lock_);
  // A failure that escapes the run is dropped: the finish notification
  // still comes and the lock is released for the next run.
  try {
    if (OnStart) OnStart(*this);
    profile_->Run(checkStop_);
  } catch (...) {
  }
  try {
    if (OnFinish) OnFinish(*this);
  } catch (...) {
  }
}
