// The log panel takes lines from any thread without the writer waiting for
// the window's thread, and shows them in the order they took the log lock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>

#include <string>
#include <thread>
#include <vector>

#include "Log.h"
#include "MemoLogView.h"

namespace {

QStringList Lines(const QPlainTextEdit& memo) {
  return memo.document()->isEmpty() ? QStringList() : memo.toPlainText().split('\n');
}

}  // namespace

TEST(LogView, LinesFromRunThreadsArriveInOrderWithoutTheWindowThreadServing) {
  QPlainTextEdit memo;
  TMemoLogView view(&memo);
  Logger.SetView(&view);
  Logger.SetMaxLines(0);
  constexpr int Threads = 4;
  constexpr int PerThread = 300;
  std::vector<std::thread> writers;
  for (int t = 0; t < Threads; ++t)
    writers.emplace_back([t] {
      for (int i = 0; i < PerThread; ++i)
        Logger.AddLine(std::to_string(t) + " " + std::to_string(i));
    });
  // The window's thread does not process events while the writers run:
  // they finish all the same.
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(view.LineCount(), Threads * PerThread);
  QApplication::processEvents();
  const QStringList lines = Lines(memo);
  ASSERT_EQ(lines.size(), Threads * PerThread);
  std::vector<int> next(Threads, 0);
  for (const QString& line : lines) {
    const QStringList parts = line.split(' ');
    ASSERT_EQ(parts.size(), 2);
    const int t = parts[0].toInt();
    EXPECT_EQ(parts[1].toInt(), next[static_cast<std::size_t>(t)]++) << line.toStdString();
  }

  // Trimming works on the lines asked for, applied or not.
  Logger.SetMaxLines(5);
  for (int i = 0; i < 10; ++i) Logger.AddLine("last " + std::to_string(i));
  QApplication::processEvents();
  EXPECT_EQ(Lines(memo), (QStringList{"last 5", "last 6", "last 7", "last 8", "last 9"}));

  Logger.ClearView();
  QApplication::processEvents();
  EXPECT_TRUE(Lines(memo).isEmpty());
  Logger.AddLine("after clear");
  QApplication::processEvents();
  EXPECT_EQ(Lines(memo), QStringList{"after clear"});
  Logger.SetMaxLines(0);
  Logger.SetView(nullptr);
}
