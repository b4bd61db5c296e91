// How run threads reach the main window. A run thread raises its start and
// finish notifications while it holds the run lock; each becomes one queued
// call on the window's thread, carrying copies of what its handler needs,
// so the thread never waits for the window and the order is kept (Qt
// delivers posted calls to one receiver in posting order).
//
// The window detaches itself when it is destroyed; a run thread abandoned
// at the end of the session then posts nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class TFragorForm;
struct TRunProgress;

struct TRunNotices {
  explicit TRunNotices(TFragorForm* form) : Form(form) {}
  void Detach();
  void ProfileStarted(std::int32_t id, std::string name, std::shared_ptr<TRunProgress> progress);
  void ProfileFinished(std::int32_t id);
  void FileStarted(std::string path, std::shared_ptr<TRunProgress> progress);
  void FileFinished();

  std::mutex Mutex;
  TFragorForm* Form;
};
