// The process log: every line goes to the log file and, once attached, to
// the on-screen view. The logger does not filter; the engine's hook does.
//
// AddLine holds LogLock for the whole line, view and file together, so
// lines of concurrent callers never interleave. A thread holding LogLock
// never waits for the window's thread; a view owned by that thread must
// therefore take changes without blocking (queue them) and apply them in
// the order the calls took the lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "SystemInfo.h"

// The on-screen side of the log.
class TLogView {
 public:
  virtual ~TLogView() = default;
  virtual std::int32_t LineCount() = 0;
  virtual void AppendLine(const std::string& text) = 0;
  virtual void DeleteFirstLine() = 0;
  virtual void BeginUpdate() = 0;  // no repaint until EndUpdate
  virtual void EndUpdate() = 0;
  virtual void ScrollToLastLine() = 0;
  virtual void Clear() = 0;
  // Asked for once when the view is attached.
  virtual void EnableDoubleBuffering() {}
};

class TLog {
 public:
  TLog() = default;
  TLog(const TLog&) = delete;
  TLog& operator=(const TLog&) = delete;

  // Opens the log file beside the executable (the executable's path with
  // ".log"), or in the configuration folder when the executable's folder
  // is not writable. Failure leaves logging to the file off, silently.
  void Create();
  // Opens the log file at `path`; for programs with their own place.
  void Create(const std::string& path);

  void AddLine(const std::string& text);
  // "Error (CODE): " and the system's text for the code, trimmed of
  // trailing spaces, control characters and periods (empty when unknown or
  // longer than 255 characters).
  void AddError(std::int32_t code);
  // Attaches (null detaches) the view; lines written before stay out of it.
  void SetView(TLogView* view);
  void SetMaxLines(std::int32_t count);
  // Deletes the view's oldest lines down to the limit; LogLock held.
  void TrimView();
  void ClearView();
  // The framed block naming the program's and the system's versions.
  void WriteSystemInfo();

  bool FileIsOpen() const { return file_ != nullptr; }

 private:
  TLogView* view_ = nullptr;
  std::unique_ptr<plat::ExclusiveFile> file_;
  std::int32_t maxLines_ = 0;
};

// The one process log and its lock; both live until the process ends.
extern TLog Logger;
extern std::mutex LogLock;

// The message text AddError appends for `code`.
std::string ErrorMessageText(std::int32_t code);
// The log file's path for an executable (".log" in place of its extension).
std::string LogFilePathFor(const std::string& executablePath);

// Makes the engine's log hook write to Logger (contigra's sink).
void ConnectEngineLogToLogger();
