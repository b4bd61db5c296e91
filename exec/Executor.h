// Run threads. Each run is one thread that holds the shared run lock for
// its whole run, so runs go one at a time; a queued run is a thread
// waiting for the lock. Every started thread raises exactly one OnStart and
// one OnFinish, in that order, both on the run thread while it holds the
// lock.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "DefragAPI.h"
#include "Profile.h"

// The run lock: shared by every run thread, so it lives until the last one
// has let go of it (its use count tells the exit wait when that is).
using TRunLock = std::shared_ptr<std::mutex>;
TRunLock MakeRunLock();

class TExecutor {
 public:
  using TExecutorEvent = std::function<void(TExecutor&)>;

  // A run of a private copy of `source`, made now on the calling thread.
  // The thread starts at once unless `createSuspended`. With
  // FreeOnTerminate set before Resume, the executor deletes itself on its
  // thread when the run is over; otherwise its owner deletes it, which
  // waits for the run to end.
  static TExecutor* Create(const TProfile& source, TRunLock lock, bool createSuspended,
                           TStopCallback checkStop);
  // A run of a new one-entry profile for `fileName` (RunMethod 0, which the
  // creator may change before Resume).
  static TExecutor* Create(const std::string& fileName, TRunLock lock, bool createSuspended,
                           TStopCallback checkStop);
  ~TExecutor();
  TExecutor(const TExecutor&) = delete;
  TExecutor& operator=(const TExecutor&) = delete;

  // Starts a suspended thread; does nothing if it already runs.
  void Resume();

  TExecutorEvent OnStart;
  TExecutorEvent OnFinish;
  bool FreeOnTerminate = false;
  TProfile& Profile() { return *profile_; }

 private:
  TExecutor(std::unique_ptr<TProfile> profile, TRunLock lock, TStopCallback checkStop);
  void Execute();

  TRunLock lock_;
  std::unique_ptr<TProfile> profile_;
  TStopCallback checkStop_;
  std::thread thread_;
  bool started_ = false;
};
