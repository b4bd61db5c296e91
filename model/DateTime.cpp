#include "DateTime.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

constexpr double kMsPerDay = 86400000.0;

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = static_cast<unsigned>((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1);
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

constexpr long long kEpochOffset = 25569;  // 1970-01-01 as a date-time value

std::mutex gClockLock;
TClock gClock;

TDateTime SystemNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                        local.tm_min, local.tm_sec) +
         static_cast<double>(ms.count()) / kMsPerDay;
}

bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

}  // namespace

TDateTime EncodeTime(int hour, int minute, int second) {
  return (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<double>(DaysFromCivil(year, month, day) + kEpochOffset) +
         EncodeTime(hour, minute, second);
}

TDateTime DateOf(TDateTime value) { return std::floor(value); }
TDateTime TimeOf(TDateTime value) { return value - std::floor(value); }

int WeekdayMonday0(TDateTime value) {
  // Day 0 (1899-12-30) was a Saturday: index 5 counted from Monday.
  const long long day = static_cast<long long>(std::floor(value));
  return static_cast<int>(((day + 5) % 7 + 7) % 7);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second) {
  auto ms = static_cast<long long>(std::llround(TimeOf(value) * kMsPerDay));
  if (ms >= 86400000) ms = 86399999;
  hour = static_cast<int>(ms / 3600000);
  minute = static_cast<int>(ms / 60000 % 60);
  second = static_cast<int>(ms / 1000 % 60);
}

std::string FormatShortTime(TDateTime value, char separator) {
  int h, m, s;
  DecodeTime(value, h, m, s);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%d%c%02d", h, separator, m);
  return buffer;
}

namespace {

// Reads "H<sep>MM[<sep>SS][ AM|PM]" from the whole of `text`.
std::optional<TDateTime> ParseTime(const std::string& text, char separator) {
  int h = 0, m = 0, s = 0, used = 0;
  std::string t = text;
  for (char& c : t)
    if (c == separator) c = ':';
  char suffix[3] = {};
  const int n = std::sscanf(t.c_str(), "%d:%d%n:%d%n", &h, &m, &used, &s, &used);
  if (n < 2) return std::nullopt;
  std::string rest = t.substr(static_cast<std::size_t>(used));
  while (!rest.empty() && rest.front() == ' ') rest.erase(rest.begin());
  if (!rest.empty()) {
    if (std::sscanf(rest.c_str(), "%2s", suffix) != 1 || rest.size() != 2) return std::nullopt;
    const std::string ampm{static_cast<char>(suffix[0] & ~0x20), static_cast<char>(suffix[1] & ~0x20)};
    if (ampm != "AM" && ampm != "PM") return std::nullopt;
    if (!InRange(h, 1, 12)) return std::nullopt;
    h = h % 12 + (ampm == "PM" ? 12 : 0);
  }
  if (!InRange(h, 0, 23) || !InRange(m, 0, 59) || !InRange(s, 0, 59)) return std::nullopt;
  return EncodeTime(h, m, s);
}

}  // namespace

std::optional<TDateTime> ParseDateTime(const std::string& text, char separator) {
  std::string t = text;
  while (!t.empty() && t.front() == ' ') t.erase(t.begin());
  while (!t.empty() && t.back() == ' ') t.pop_back();
  int y, mo, d, used = 0;
  if (std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) == 3 && used == 10) {
    if (!InRange(mo, 1, 12) || !InRange(d, 1, 31)) return std::nullopt;
    const TDateTime date = EncodeDateTime(y, mo, d);
    if (t.size() == 10) return date;
    const auto time = ParseTime(t.substr(11), separator);
    if (!time || t[10] != ' ') return std::nullopt;
    return date + *time;
  }
  if (auto time = ParseTime(t, separator)) return time;
  if (separator != ':') return ParseTime(t, ':');
  return std::nullopt;
}

TDateTime Now() {
  std::lock_guard guard(gClockLock);
  return gClock ? gClock() : SystemNow();
}

TClock SetClock(TClock clock) {
  std::lock_guard guard(gClockLock);
  std::swap(gClock, clock);
  return clock;
}
