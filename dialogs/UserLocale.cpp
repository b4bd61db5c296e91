#include "UserLocale.h"

#include <QRegularExpression>

namespace {

// The format without its quoted literals, which may hold any letter.
QString UnquotedFields(const QString& format) {
  QString fields;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == QLatin1Char('\'')) quoted = !quoted;
    else if (!quoted) fields += c;
  }
  return fields;
}

}  // namespace

TLocaleTimeFlags TimeFlagsOf(const QLocale& locale) {
  const QString fields = UnquotedFields(locale.timeFormat(QLocale::ShortFormat));
  TLocaleTimeFlags flags;
  const auto hour = fields.indexOf(QRegularExpression(QStringLiteral("[hH]")));
  const auto marker = fields.indexOf(QRegularExpression(QStringLiteral("[aA]")));
  flags.Clock24 = marker < 0;
  flags.AmPmFirst = marker >= 0 && hour >= 0 && marker < hour;
  // The separator is whatever follows the hour field.
  if (hour >= 0) {
    qsizetype i = hour;
    while (i < fields.size() && (fields[i] == QLatin1Char('h') || fields[i] == QLatin1Char('H'))) ++i;
    if (i < fields.size() && !fields[i].isLetter() && !fields[i].isSpace()) flags.TimeSeparator = fields[i];
  }
  return flags;
}

TLocaleTimeFlags UserTimeFlags() { return TimeFlagsOf(QLocale()); }

QString TimePickerFormat(const TLocaleTimeFlags& flags) {
  const QString time = QStringLiteral("h") + flags.TimeSeparator + QStringLiteral("mm");
  if (flags.Clock24) return QStringLiteral("H") + flags.TimeSeparator + QStringLiteral("mm");
  return flags.AmPmFirst ? QStringLiteral("AP ") + time : time + QStringLiteral(" AP");
}
