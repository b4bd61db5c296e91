// What the dialogs' file lists show of a file besides its path, and a
// queue that measures files away from the window's thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TFileMeasure {
  std::int64_t Size = -1;       // bytes; -1 when it cannot be read
  std::int64_t Fragments = -1;  // -1 when the map cannot be read
};

// Opens `path` for reading with read sharing, as an existing file, and
// measures it. A folder, a missing file or a file that another program
// holds without read sharing cannot be opened: both stay -1.
TFileMeasure MeasureFile(const std::string& path);

// Measures files on a thread of its own, in the order they were added.
// Opening a file on an image goes through the volume's mount and may wait
// for a run that holds it, so a list of thousands must not be measured on
// the window's thread.
//
// Each job carries a ticket chosen by the caller; the result comes back
// with it, and the caller drops results whose ticket it no longer knows
// (the row was removed or measured again meanwhile). Results wait in the
// queue until Take; `ready` is called on the worker thread whenever
// results start waiting after none were, and must only post a wake-up to
// the owner's thread (it must not block on that thread).
//
// Stop (and the destructor) drops the jobs not started, waits for the one
// file in hand and joins the thread, so nothing touches the owner or the
// platform afterwards. Adding after Stop starts a new thread.
class TMeasureQueue {
 public:
  struct TJob {
    std::uint64_t Ticket = 0;
    std::string Path;
  };
  struct TResult {
    std::uint64_t Ticket = 0;
    TFileMeasure Measure;
  };

  explicit TMeasureQueue(std::function<void()> ready);
  ~TMeasureQueue();
  TMeasureQueue(const TMeasureQueue&) = delete;
  TMeasureQueue& operator=(const TMeasureQueue&) = delete;

  void Add(std::vector<TJob> jobs);
  // The results waiting now, in the order they were measured.
  std::vector<TResult> Take();
  // True when no job waits or is in hand and every result was taken.
  bool Idle() const;
  void Stop();

 private:
  void Work();

  std::function<void()> ready_;
  mutable std::mutex lock_;
  std::condition_variable wake_;
  std::deque<TJob> jobs_;
  std::vector<TResult> results_;
  bool busy_ = false;  // a job is in hand
  bool stop_ = false;
  std::thread worker_;
};
