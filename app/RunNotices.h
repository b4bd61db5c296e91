// How run threads reach the main window. A run thread raises its start and
// finish notifications while it holds the run lock; each becomes a call,
// carrying copies of what its handler needs, in a queue that the window's
// thread empties in order from a queued Qt call, so the run thread never
// waits for the window and the order is kept.
//
// The window detaches itself when it is destroyed; a run thread abandoned
// at the end of the session then posts nothing.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class TFragorForm;
struct TRunProgress;

struct TRunNotices {
  explicit TRunNotices(TFragorForm* form) : Form(form) {}
  // Drops what waits and posts nothing more; on the window's thread.
  void Detach();
  // Runs the waiting calls in order; on the window's thread.
  void Deliver();
  void ProfileStarted(std::int32_t id, std::string name, std::shared_ptr<TRunProgress> progress);
  void ProfileFinished(std::int32_t id);
  void FileStarted(std::string path, std::shared_ptr<TRunProgress> progress);
  void FileFinished();

  std::mutex Mutex;
  TFragorForm* Form;
  std::deque<std::function<void(TFragorForm&)>> Pending;
};
