// The log panel's text: the logger's view, fed from any thread.
//
// The logger calls every method with LogLock held, from whichever thread
// logs. Those calls never wait for the window's thread: they append the
// change to a pending list under a small mutex of their own and, when the
// list was empty, post one queued flush to the widget's thread. The flush
// applies all pending changes in the order the logger made them, inside
// one repaint. LineCount answers from a count kept with the changes, so
// the logger's trimming sees the lines it has asked for, applied or not.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <QObject>

#include "Log.h"

class QPlainTextEdit;

class TMemoLogView final : public QObject, public TLogView {
  Q_OBJECT
 public:
  explicit TMemoLogView(QPlainTextEdit* memo);

  std::int32_t LineCount() override;
  void AppendLine(const std::string& text) override;
  void DeleteFirstLine() override;
  void BeginUpdate() override {}
  void EndUpdate() override {}
  void ScrollToLastLine() override;
  void Clear() override;
  // Qt paints widgets through a back buffer already.
  void EnableDoubleBuffering() override {}

  // Applies what is pending now (the window's thread only).
  void Flush();

 private:
  enum class TOp : std::uint8_t { Append, DeleteFirst, Scroll, Clear };
  struct TChange {
    TOp Op;
    std::string Text;
  };
  void Push(TOp op, std::string text = {});

  QPlainTextEdit* memo_;
  std::mutex mutex_;
  std::vector<TChange> pending_;
  std::int32_t lines_ = 0;
};
