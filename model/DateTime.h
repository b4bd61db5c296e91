// Date-time values: days since 1899-12-30 00:00 local time as a double; the
// fraction is the time of day. The clock is injectable so schedule
// arithmetic can be tested at any instant.
#pragma once

#include <functional>
#include <optional>
#include <string>

using TDateTime = double;

TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0);
TDateTime EncodeTime(int hour, int minute, int second = 0);
// The whole days and the time of day of a value.
TDateTime DateOf(TDateTime value);
TDateTime TimeOf(TDateTime value);
// 0 = Monday ... 6 = Sunday.
int WeekdayMonday0(TDateTime value);
// Hours, minutes and seconds of the time of day, to the nearest millisecond.
void DecodeTime(TDateTime value, int& hour, int& minute, int& second);

// "h:mm": hour without leading zero, the separator, two-digit minutes.
std::string FormatShortTime(TDateTime value, char separator = ':');
// A time alone ("15:05", "3:05:10", "3:05 PM") or an ISO date and a time
// ("2026-12-11 15:05"); the separator given or ':' both work. A time alone
// reads as that time on day 0. Empty when the text is no date-time.
std::optional<TDateTime> ParseDateTime(const std::string& text, char separator = ':');

// The current local date-time, from the injected clock if any.
TDateTime Now();
using TClock = std::function<TDateTime()>;
// Replaces the clock (an empty function restores the system's); returns the
// previous one.
TClock SetClock(TClock clock);
