#include <unistd.h>

#include <csignal>
#include <cerrno>

#include "HelperOutput.h"

namespace aux {

void PrepareOutput() {
  // A reader that went away must not end the helper mid-file.
  std::signal(SIGPIPE, SIG_IGN);
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
