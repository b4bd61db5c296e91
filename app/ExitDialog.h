// The exit wait: a small modal window that stays while runs are busy and
// closes itself as soon as the busy test answers false. While it is shown
// the window's thread keeps processing events, so the run threads' start
// and finish notifications are handled and the counters fall.
#pragma once

#include <functional>

#include <QDialog>

class QTimer;

class TformExit final : public QDialog {
  Q_OBJECT
 public:
  using TBusyTest = std::function<bool()>;
  explicit TformExit(TBusyTest busy, QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Poll();
  TBusyTest busy_;
  QTimer* poll_;
};

// Shows TformExit modally with `busy` and returns once it answered false.
void WaitForTasks(const TformExit::TBusyTest& busy, QWidget* parent = nullptr);
