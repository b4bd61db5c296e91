// The program's dialogs. Each entry creates its form, shows it modally and
// destroys it before returning; what it edits changes only on OK.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QString>

#include "ConfigFile.h"
#include "DefragAPI.h"
#include "Options.h"
#include "Profile.h"

class QWidget;

// Profile properties: fills the form from `profile`, and on OK writes the
// values back. Returns QDialog::Accepted or QDialog::Rejected.
int ShowProfileProps(TProfile& profile, QWidget* parent = nullptr);

// Options: true when the user confirmed (the values are then in `options`).
bool ShowOptions(TOptions& options, QWidget* parent = nullptr);

// Profile wizard: offers profiles for the mail stores it finds, leaving out
// names in `existingNames`; on OK appends the ticked ones to `profiles`.
// Returns QDialog::Accepted or QDialog::Rejected.
int ShowWizard(const std::vector<std::string>& existingNames, TProfileList& profiles,
               QWidget* parent = nullptr);

// Analyze disk: true when closed with OK; `list` then holds the last scan's
// results in the order last shown, each with its Checked flag.
bool ShowAnalyze(TFileRegionList& list, QWidget* parent = nullptr);

// About box with the product name, the edition word and the build's version.
void ShowAbout(const QString& appName, const QString& edition, QWidget* parent = nullptr);

// The size text of the dialogs' file lists.
QString FormatFileSize(std::int64_t bytes);
