#include "HelperProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#ifndef AUX_PROGRAM
#error "AUX_PROGRAM must name the contigra_aux program"
#endif

extern char** environ;

namespace auxtest {
namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The test's environment with `env` laid over it, as "KEY=value" strings.
std::vector<std::string> ChildEnvironment(const Env& env) {
  std::vector<std::string> vars;
  for (char** e = environ; *e; ++e) {
    const std::string var = *e;
    if (!env.count(var.substr(0, var.find('=')))) vars.push_back(var);
  }
  for (const auto& [key, value] : env) vars.push_back(key + "=" + value);
  return vars;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (auto& s : strings) p.push_back(s.data());
  p.push_back(nullptr);
  return p;
}

}  // namespace

std::string Describe(const Outcome& o) {
  std::ostringstream s;
  s << "exit " << o.ExitCode << ", signal " << o.Signal << (o.TimedOut ? ", timed out" : "")
    << ", " << o.Seconds << " s\nstdout: [" << o.Out << "]\nstderr: [" << o.Err << "]";
  return s.str();
}

std::string FileLines(const std::string& file) {
  return "Defragmenting file : \"" + file + "\"\r\nDone : \"" + file + "\"\r\n";
}

HelperProcess::HelperProcess(const std::vector<std::string>& args, const Env& env, Stdout mode) {
  int out[2] = {-1, -1}, err[2] = {-1, -1};
  if (pipe2(err, O_CLOEXEC) != 0) return;
  if (mode == Stdout::Pipe || mode == Stdout::BrokenPipe) {
    if (pipe2(out, O_CLOEXEC) != 0) return;
  }
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  if (mode == Stdout::AllClosed) posix_spawn_file_actions_addclose(&fa, 0);
  else posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  switch (mode) {
    case Stdout::Pipe:
    case Stdout::BrokenPipe:
      posix_spawn_file_actions_adddup2(&fa, out[1], 1);
      break;
    case Stdout::Closed:
    case Stdout::AllClosed:
      posix_spawn_file_actions_addclose(&fa, 1);
      break;
    case Stdout::DevFull:
      posix_spawn_file_actions_addopen(&fa, 1, "/dev/full", O_WRONLY, 0);
      break;
  }
  if (mode == Stdout::AllClosed) posix_spawn_file_actions_addclose(&fa, 2);
  else posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  std::vector<std::string> argv{AUX_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = ChildEnvironment(env);
  startSeconds_ = Now();
  if (posix_spawn(&pid_, AUX_PROGRAM, &fa, nullptr, Pointers(argv).data(), Pointers(envp).data()) != 0)
    pid_ = -1;
  posix_spawn_file_actions_destroy(&fa);
  close(err[1]);
  errFd_ = err[0];
  if (out[1] >= 0) close(out[1]);
  if (mode == Stdout::BrokenPipe) close(out[0]);  // the reader goes away at once
  else outFd_ = out[0];
}

HelperProcess::~HelperProcess() {
  if (pid_ > 0 && !waited_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (outFd_ >= 0) close(outFd_);
  if (errFd_ >= 0) close(errFd_);
}

bool HelperProcess::Pump(int timeoutMs) {
  pollfd fds[2];
  nfds_t n = 0;
  for (int fd : {outFd_, errFd_})
    if (fd >= 0) fds[n++] = {fd, POLLIN, 0};
  if (n == 0) return false;
  if (poll(fds, n, timeoutMs) <= 0) return true;
  for (nfds_t i = 0; i < n; ++i) {
    if (!fds[i].revents) continue;
    char buf[4096];
    const ssize_t got = read(fds[i].fd, buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    int& fd = fds[i].fd == outFd_ ? outFd_ : errFd_;
    std::string& text = fds[i].fd == outFd_ ? out_ : err_;
    if (got > 0) {
      text.append(buf, static_cast<std::size_t>(got));
    } else {
      close(fd);
      fd = -1;
    }
  }
  return true;
}

bool HelperProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  const double deadline = Now() + timeoutMs / 1000.0;
  while (out_.find(text) == std::string::npos) {
    const double left = deadline - Now();
    if (left <= 0 || !Pump(static_cast<int>(left * 1000) + 1)) return out_.find(text) != std::string::npos;
  }
  return true;
}

bool HelperProcess::HasOpen(const std::string& path) const {
  std::error_code ec;
  const std::string fdDir = "/proc/" + std::to_string(pid_) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator(fdDir, ec)) {
    std::error_code linkError;
    if (std::filesystem::read_symlink(entry.path(), linkError) == path) return true;
  }
  return false;
}

bool HelperProcess::WaitUntilOpen(const std::string& path, int timeoutMs) const {
  const double deadline = Now() + timeoutMs / 1000.0;
  while (!HasOpen(path)) {
    if (Now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void HelperProcess::Kill(int signal) {
  if (pid_ > 0 && !waited_) kill(pid_, signal);
}

Outcome HelperProcess::Wait(int timeoutMs) {
  Outcome o;
  if (pid_ <= 0) {
    o.Err = "the helper could not be started";
    return o;
  }
  const double deadline = Now() + timeoutMs / 1000.0;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (Now() >= deadline) {
      o.TimedOut = true;
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    if (!Pump(20)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  waited_ = true;
  o.Seconds = Now() - startSeconds_;
  // The rest of the output, up to the end of both pipes.
  for (const double drainEnd = Now() + 5; Now() < drainEnd && Pump(100);) {
  }
  if (WIFEXITED(status)) o.ExitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) o.Signal = WTERMSIG(status);
  o.Out = out_;
  o.Err = err_;
  return o;
}

Outcome RunHelper(const std::vector<std::string>& args, const Env& env, Stdout mode,
                  int timeoutMs) {
  HelperProcess p(args, env, mode);
  return p.Wait(timeoutMs);
}

ImageLock::ImageLock(const std::string& image) {
  fd_ = open(image.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) return;
  struct flock lk {};
  lk.l_type = F_WRLCK;
  lk.l_whence = SEEK_SET;  // l_start 0, l_len 0: the whole file
  held_ = fcntl(fd_, F_OFD_SETLK, &lk) == 0;
}

ImageLock::~ImageLock() { Release(); }

void ImageLock::Release() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  held_ = false;
}

}  // namespace auxtest
