// The user's clock settings as the dialogs need them, read from a QLocale
// (the program's default locale is the system's unless the program chose
// another, so on every system this follows the user's settings).
#pragma once

#include <QChar>
#include <QLocale>
#include <QString>

struct TLocaleTimeFlags {
  bool Clock24 = false;    // the locale's times use a 24-hour clock
  bool AmPmFirst = false;  // the AM/PM marker stands before the hour
  QChar TimeSeparator = QLatin1Char(':');
};

// The flags of `locale`'s short time format.
TLocaleTimeFlags TimeFlagsOf(const QLocale& locale);
// The flags of the program's current locale (QLocale()).
TLocaleTimeFlags UserTimeFlags();

// The start-time picker's display format: hours and minutes, 24-hour when
// the locale says so, else 12-hour with the marker where the locale puts
// it ("H:mm", "AP h:mm" or "h:mm AP" with the locale's separator).
QString TimePickerFormat(const TLocaleTimeFlags& flags);
