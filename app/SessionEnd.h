// The end of the user's session. On POSIX the session manager ends
// programs with SIGTERM (SIGHUP when the terminal goes, SIGINT from a
// console); each means "the session ends". The signal handler only writes
// to a pipe; `onSessionEnd` runs on the window's thread from the event loop.
#pragma once

#include <functional>

class QObject;

// Installs the handlers for the rest of the process; `context` owns the
// watcher. Calling it again replaces the callback.
void InstallSessionEndHandler(QObject* context, std::function<void()> onSessionEnd);
