// The profile wizard: offers a ready-made profile for each known mail
// program found in the user's registry, ticked unless a profile of that
// name exists already. The form owns the offers until the caller takes
// the ticked ones.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <QDialog>

#include "ConfigFile.h"
#include "Registry.h"

class QListWidget;

class TWizardForm : public QDialog {
  Q_OBJECT

 public:
  // Reads the offers from `registry`. `existingNames` are the names of the
  // profiles the caller holds.
  TWizardForm(const std::vector<std::string>& existingNames, plat::UserRegistry& registry,
              QWidget* parent = nullptr);
  ~TWizardForm() override;

  // Ticks each line whose name is not an existing name (compared without
  // regard to case) and clears the others.
  void SetDefaultChecks();
  // Moves the ticked lines' profiles, in list order, to the end of
  // `profiles`; the others stay with the form and go with it.
  void TakeChecked(TProfileList& profiles);

 private:
  void SetAllChecks(bool checked);

  std::vector<std::string> existingNames_;
  TProfileList offers_;  // one per line of clbProfiles
  QListWidget* clbProfiles = nullptr;
};

// The wizard over `registry` (ShowWizard uses the system's).
int ShowWizardWith(plat::UserRegistry& registry, const std::vector<std::string>& existingNames,
                   TProfileList& profiles, QWidget* parent = nullptr);
