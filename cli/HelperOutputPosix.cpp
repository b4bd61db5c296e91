#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>

#include "HelperOutput.h"

namespace aux {

void PrepareOutput() {
  // A reader that went away must not end the helper mid-file.
  std::signal(SIGPIPE, SIG_IGN);
  // Started with standard descriptors closed, the files opened later (the
  // mutex's lock files, the volume's image) would get their numbers, and
  // the output lines or a library's messages would be written into them.
  // /dev/null takes each closed one: such output is dropped.
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF && open("/dev/null", O_RDWR) != fd) break;
}

std::vector<std::string> Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

void WriteLine(const std::string& line) {
  const std::string bytes = line + "\r\n";
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // no usable standard output: drop the line
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace aux
