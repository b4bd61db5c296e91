// contigra_aux as a real child process: started with posix_spawn and its
// own environment (drive table, mutex folder), its output read while it
// runs, killed or waited for with a deadline.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace auxtest {

// Variables set (or replaced) in the child's environment.
using Env = std::map<std::string, std::string>;

// What the child's standard output is.
enum class Stdout {
  Pipe,        // read by the test
  Closed,      // descriptor 1 closed, as with ">&-"
  BrokenPipe,  // a pipe whose reader has gone
  DevFull,     // /dev/full: every write fails
  AllClosed,   // standard input, output and error all closed
};

struct Outcome {
  int ExitCode = -1;  // -1 unless it exited
  int Signal = 0;     // the signal that ended it, else 0
  bool TimedOut = false;
  std::string Out, Err;
  double Seconds = 0;  // from start to end
};
std::string Describe(const Outcome& o);

class HelperProcess {
 public:
  HelperProcess(const std::vector<std::string>& args, const Env& env, Stdout mode = Stdout::Pipe);
  ~HelperProcess();  // kills it if it still runs
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // Reads output until stdout holds `text`; false when the deadline passed
  // or the child closed its output first.
  bool WaitForOutput(const std::string& text, int timeoutMs);
  // True while the child has `path` open (from /proc/PID/fd).
  bool HasOpen(const std::string& path) const;
  bool WaitUntilOpen(const std::string& path, int timeoutMs) const;
  void Kill(int signal);
  // Waits for the end, reading all output; kills it after `timeoutMs`.
  Outcome Wait(int timeoutMs);
  const std::string& OutputSoFar() const { return out_; }

 private:
  // Reads what is available within `timeoutMs`; false once both pipes ended.
  bool Pump(int timeoutMs);

  pid_t pid_ = -1;
  int outFd_ = -1, errFd_ = -1;
  std::string out_, err_;
  double startSeconds_ = 0;
  bool waited_ = false;
};

// Starts the helper and waits for its end.
Outcome RunHelper(const std::vector<std::string>& args, const Env& env,
                  Stdout mode = Stdout::Pipe, int timeoutMs = 120000);

// The two lines the helper writes for one file.
std::string FileLines(const std::string& file);

// An open-file-description write lock over a whole image, the kind the
// ntfs-3g tools and the backend take: while it is held, helpers cannot
// mount the volume.
class ImageLock {
 public:
  explicit ImageLock(const std::string& image);
  ~ImageLock();
  ImageLock(const ImageLock&) = delete;
  ImageLock& operator=(const ImageLock&) = delete;
  bool Held() const { return held_; }
  void Release();

 private:
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace auxtest
