#include "Profile.h"

#include <cstdlib>
#include <mutex>
#include <random>

namespace {

std::int32_t RandomId() {
  static std::mutex lock;
  static std::mt19937 engine{std::random_device{}()};
  std::lock_guard guard(lock);
  return std::uniform_int_distribution<std::int32_t>(0, 2147483646)(engine);
}

std::string (*gTranslator)(const std::string&) = nullptr;

}  // namespace

std::string TranslateText(const std::string& english) {
  return gTranslator ? gTranslator(english) : english;
}
void SetTextTranslator(std::string (*translator)(const std::string&)) { gTranslator = translator; }

TProfile::TProfile() : Id(RandomId()) {}

TProfile::TProfile(const TProfile& source)
    : Id(source.Id),
      Name(source.Name),
      Files(source.Files),
      RunMethod(source.RunMethod),
      SchedulerActive(source.SchedulerActive),
      Start(source.Start),
      Days(source.Days) {
  UpdateNextStart();
}

void TProfile::SetName(const std::string& value) {
  bool blank = true;
  for (char c : value) blank = blank && static_cast<unsigned char>(c) <= ' ';
  Name = blank ? TranslateText("untitled") : value;
}

void TProfile::SetStart(TDateTime value) {
  Start = value;
  UpdateNextStart();
}

void TProfile::SetDay(int index, bool value) {
  Days.at(static_cast<std::size_t>(index)) = value;
  UpdateNextStart();
}

void TProfile::UpdateNextStart() {
  NextStart = 0;
  const TDateTime now = Now();
  TDateTime candidate = DateOf(now) + TimeOf(Start);
  for (int i = 0; i < 8; ++i, candidate += 1) {
    if (candidate > now && Days[static_cast<std::size_t>(WeekdayMonday0(candidate))]) {
      NextStart = candidate;
      return;
    }
  }
}

bool ParseBoolean(const std::string& text, bool& value) {
  std::string lower;
  for (char c : text) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (lower == "true" || lower == "false") {
    value = lower == "true";
    return true;
  }
  if (text.empty()) return false;
  char* end = nullptr;
  const long long n = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0') return false;
  value = n != 0;
  return true;
}
