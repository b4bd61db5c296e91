#include "FormatNextStart.h"

#include <cmath>

#include <QDate>
#include <QLocale>
#include <QTime>

namespace {

QDate ToDate(TDateTime value) {
  return QDate(1899, 12, 30).addDays(static_cast<qint64>(std::floor(value)));
}

}  // namespace

QString FormatShortTimeText(TDateTime value) {
  int hour = 0;
  int minute = 0;
  int second = 0;
  DecodeTime(value, hour, minute, second);
  return QLocale().toString(QTime(hour, minute, second), QLocale::ShortFormat);
}

QString FormatShortDateText(TDateTime value) {
  return QLocale().toString(ToDate(value), QLocale::ShortFormat);
}

QString FormatNextStart(TDateTime when) {
  const TDateTime today = DateOf(Now());
  const TDateTime day = DateOf(when);
  QString text;
  if (day == today) {
    text = QStringLiteral("Today");
  } else if (day - 1 == today) {
    text = QStringLiteral("Tomorrow");
  } else {
    text = FormatShortDateText(when);
  }
  return text + QStringLiteral(", ") + FormatShortTimeText(when);
}
