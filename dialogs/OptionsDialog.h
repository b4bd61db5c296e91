// The options dialog: window behaviour, shell integration, tray animation,
// schedule columns, exit confirmation and the log. The form edits its own
// controls; LoadFrom and StoreTo move the values, so the options change
// only when the caller stores on OK. Where the system has one, a page of
// its own follows the common pages and saves itself on OK.
#pragma once

#include <QDialog>

#include "Options.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TSystemOptionsPage;

class TformOptions : public QDialog {
  Q_OBJECT

 public:
  explicit TformOptions(QWidget* parent = nullptr);

  void LoadFrom(const TOptions& options);
  // Stores in the established order: MinimizeOnStartup, MinimizeOnClose,
  // AnimateTray, Startup, ContextMenu, ConfirmExit, LogLevel, LogMaxLines,
  // ShowSchedule. Language and ShowLogWindow are left alone. Where the
  // system has no file-manager verb, ContextMenu is stored as off.
  void StoreTo(TOptions& options) const;
  // The line limit is enabled exactly when the log level is not "None".
  void UpdateControls();

  // Saves the system's page; OK closes the dialog only when that worked.
  void accept() override;

 private:
  void BuildGeneralPage();
  void BuildConfirmationsPage();
  void BuildLogPage();
  QCheckBox* AddCheck(QGroupBox* box, const char* name, const QString& text, const QString& hint);

  QTabWidget* PageControl1 = nullptr;
  QCheckBox* cbStartup = nullptr;
  QCheckBox* cbMinimizeOnStart = nullptr;
  QCheckBox* cbMinimizeOnClose = nullptr;
  QCheckBox* cbContextMenu = nullptr;
  QCheckBox* cbAnimateIcon = nullptr;
  QCheckBox* cbShowScheduler = nullptr;
  QCheckBox* cbConfirmExit = nullptr;
  QComboBox* cbLogLevel = nullptr;
  QSpinBox* seMaxLog = nullptr;
  QPushButton* btnOK = nullptr;
  TSystemOptionsPage* systemPage_ = nullptr;
  // Without a file-manager verb on this system, cbContextMenu stays off.
  bool fileVerbSupported_ = false;
};
