// A profile: a named list of files and folders, a placement method and a
// weekly schedule; reads and writes itself as one XML element and runs.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "DateTime.h"
#include "DefragAPI.h"

enum TProfileState : std::uint8_t { psIdle = 0, psRunning = 1, psQueued = 2 };

// Raised when a profile element cannot be read; the message says why.
class TProfileReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TProfile {
 public:
  std::int32_t Id;  // random per object, kept by copies, never stored
  std::string Name;
  std::vector<std::string> Files;
  TProfileState State = psIdle;
  std::uint8_t RunMethod = 0;  // 0 start of disk, anything else end of disk
  bool SchedulerActive = false;
  TDateTime Start = 0;  // only the time of day counts
  std::array<bool, 7> Days{};  // 0 Monday ... 6 Sunday
  TDateTime NextStart = 0;     // 0: never

  // An empty profile with a fresh Id.
  TProfile();
  // Reads a profile element; throws TProfileReadError. `timeSeparator` is
  // the locale's (':' is accepted as well).
  explicit TProfile(const pugi::xml_node& node, char timeSeparator = ':');
  // A run's private copy: same Id, name, entries, placement and schedule;
  // State idle and NextStart computed now.
  TProfile(const TProfile& source);
  TProfile& operator=(const TProfile&) = delete;

  // Blank names (after trimming spaces and control characters) become the
  // translated "untitled"; others are kept exactly.
  void SetName(const std::string& value);
  void SetStart(TDateTime value);
  bool GetDay(int index) const { return Days.at(static_cast<std::size_t>(index)); }
  void SetDay(int index, bool value);
  // The first instant strictly after now, within today and the next seven
  // days, on a chosen weekday at Start's time of day; 0 when no day is set.
  void UpdateNextStart();
  // Expands each entry and hands its files to the engine: two or more as
  // one group, one alone. Ends early when checkStop says so.
  void Run(const TStopCallback& checkStop);
  // Told by Run, on the running thread, just before each hand-over to the
  // engine, with the files handed over (one, or a group). Not copied.
  std::function<void(const std::vector<std::string>& files)> OnFiles;
  void SaveToNode(pugi::xml_node node, char timeSeparator = ':') const;
};

// Appends the files `path` stands for: a folder's files depth first in
// listing order, a file itself, nothing for anything else.
void ExpandEntry(const std::string& path, std::vector<std::string>& into,
                 const TStopCallback& checkStop);

// Reads "true"/"false" in any case or a number (non-zero is true).
bool ParseBoolean(const std::string& text, bool& value);

// The translation of an English interface text; identity until the program
// installs its translator.
std::string TranslateText(const std::string& english);
void SetTextTranslator(std::string (*translator)(const std::string&));
