#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <utility>

#include <QSocketNotifier>

#include "SessionEnd.h"

namespace {

int gPipe[2] = {-1, -1};
std::function<void()> gOnSessionEnd;

extern "C" void SignalArrived(int) {
  const char byte = 1;
  const ssize_t ignored = write(gPipe[1], &byte, 1);
  static_cast<void>(ignored);
}

}  // namespace

void InstallSessionEndHandler(QObject* context, std::function<void()> onSessionEnd) {
  gOnSessionEnd = std::move(onSessionEnd);
  if (gPipe[0] >= 0) return;
  if (pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
    char bytes[16];
    while (read(gPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (gOnSessionEnd) gOnSessionEnd();
  });
  struct sigaction action {};
  action.sa_handler = SignalArrived;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}
