// Where the session manager speaks through Qt (Windows' end-of-session
// query arrives as commitDataRequest), the session end is taken from there.
#include <utility>

#include <QGuiApplication>
#include <QSessionManager>

#include "SessionEnd.h"

void InstallSessionEndHandler(QObject* context, std::function<void()> onSessionEnd) {
  QGuiApplication::setFallbackSessionManagementEnabled(false);
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, context,
                   [call = std::move(onSessionEnd)](QSessionManager&) {
                     if (call) call();  // an early install may carry no callback yet
                   });
}
