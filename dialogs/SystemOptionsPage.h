// A page of the options dialog that only some systems have (on POSIX with
// the NTFS backend: the drive table). It keeps its own settings, apart
// from TOptions, and saves them when the dialog is confirmed.
#pragma once

#include <QString>
#include <QWidget>

class TSystemOptionsPage : public QWidget {
 public:
  using QWidget::QWidget;
  virtual QString Title() const = 0;
  // Saves what the user changed; false (after telling the user why) when
  // it could not be saved, and the dialog then stays open.
  virtual bool Save() = 0;
};

// The system's page, owned by `parent`, or null where there is none.
TSystemOptionsPage* MakeSystemOptionsPage(QWidget* parent);
