// The about box: a borderless window with the logo, the program's name and
// version, the copyright notice, the authors, the home page and support
// address as links, and the thanks. It is dragged by any point outside the
// links; Enter, Esc and OK close it.
#pragma once

#include <QDialog>
#include <QPoint>

#include "ProgramVersion.h"

class QLabel;
class TLinkLabel;

class TAboutForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* parent = nullptr);

  // "Version MAJOR.MINOR EDITION (build BUILD)"; the release is not shown.
  static QString VersionText(const TVersionNumbers& version, const QString& edition);

  void SetProgram(const QString& appName, const QString& versionText);
  // Where a press does not move the window: from the web address's left
  // edge to its right edge, and from its top to the mail address's bottom.
  QRect LinkZone() const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QWidget* BuildInfoBox();
  TLinkLabel* MakeLink(const char* name, const QString& text, QWidget* parent);

  QLabel* lblAppName = nullptr;
  QLabel* lblBuild = nullptr;
  TLinkLabel* lblURL = nullptr;
  TLinkLabel* lblMail = nullptr;
  bool dragging_ = false;
  QPoint dragOffset_;
};
