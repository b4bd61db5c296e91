#include "OpenAddress.h"

#include <QDesktopServices>
#include <QUrl>

bool OpenWebAddress(const QString& address) {
  return QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

bool OpenMailAddress(const QString& address) {
  return QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + address));
}
