// config.cfg: the listed profiles and the options in one XML file.
//
// Loading never loses what the user wrote: a profile that fails to read is
// skipped (the others and the options still load), and when anything
// failed the original file is first kept as config.cfg.bak. Saving writes
// a temporary file beside it and renames it over, so the file is always
// either the old or the new one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Options.h"
#include "Profile.h"

using TProfileList = std::vector<std::unique_ptr<TProfile>>;

// The settings folder (plat::SettingsFolder) + "config.cfg".
std::string ConfigFileName();

struct TConfigLoadReport {
  bool FileRead = false;        // the file existed and parsed
  int ProfilesSkipped = 0;      // profile elements that failed to read
  bool BackupWritten = false;   // config.cfg.bak now holds the original
};

// Appends the file's profiles to `profiles` and fills `options` (defaults
// for whatever is missing). A missing file is no failure.
TConfigLoadReport LoadConfigFile(const std::string& fileName, TProfileList& profiles,
                                 TOptions& options, const std::string& currentLanguage,
                                 char timeSeparator = ':');
// Writes the profiles and the options; false when the file could not be
// written (the old one is then untouched).
bool SaveConfigFile(const std::string& fileName, const TProfileList& profiles,
                    const TOptions& options, char timeSeparator = ':');
