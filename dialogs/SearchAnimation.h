// A looping picture of a folder being searched (a magnifier circling over
// a folder), shown centred over its parent widget while a search runs. It
// advances on a timer, so it moves whenever the event loop runs.
#pragma once

#include <QTimer>
#include <QWidget>

class TSearchAnimation : public QWidget {
  Q_OBJECT

 public:
  explicit TSearchAnimation(QWidget* parent);

  // Shows the animation from its first frame, repeating without end.
  void Play();
  // Stops and hides it.
  void Stop();
  bool Playing() const { return timer_.isActive(); }
  int Frame() const { return frame_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Center();

  QTimer timer_;
  int frame_ = 0;
};
