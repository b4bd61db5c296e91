#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "DefragAPI.h"
#include "Log.h"
#include "SystemInfoLines.h"

namespace {

// A view that keeps its lines in memory, as the log panel would.
class MemoryView final : public TLogView {
 public:
  std::vector<std::string> lines;
  int batches = 0, openBatch = 0;
  bool doubleBuffered = false;
  std::int32_t LineCount() override { return static_cast<std::int32_t>(lines.size()); }
  void AppendLine(const std::string& t) override { lines.push_back(t); }
  void DeleteFirstLine() override { lines.erase(lines.begin()); }
  void BeginUpdate() override { ++openBatch; }
  void EndUpdate() override { --openBatch; ++batches; }
  void ScrollToLastLine() override {}
  void Clear() override { lines.clear(); }
  void EnableDoubleBuffering() override { doubleBuffered = true; }
};

class LogTest : public ::testing::Test {
 protected:
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("contigra-log-test-" + std::to_string(getpid()) + ".log");
  MemoryView view;
  void SetUp() override { Logger.Create(path.string()); }
  void TearDown() override {
    Logger.SetView(nullptr);
    Logger.SetMaxLines(0);
    SetEngineLogSink(nullptr);
    SetEngineLogLevel(0);
    std::filesystem::remove(path);
  }
  std::string FileText() {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(LogTest, ViewKeepsTheLimitFileKeepsEverything) {
  Logger.SetView(&view);
  EXPECT_TRUE(view.doubleBuffered);
  Logger.SetMaxLines(3);
  for (const char* l : {"A", "B", "C", "D", "E"}) Logger.AddLine(l);
  EXPECT_EQ(view.lines, (std::vector<std::string>{"C", "D", "E"}));
  EXPECT_EQ(view.batches, 5);
  EXPECT_EQ(view.openBatch, 0);
  EXPECT_EQ(FileText(), "A\r\nB\r\nC\r\nD\r\nE\r\n");
}

TEST_F(LogTest, ViewAttachesLateAndClearsAlone) {
  Logger.AddLine("before");
  Logger.SetView(&view);
  Logger.AddLine("after");
  EXPECT_EQ(view.lines, (std::vector<std::string>{"after"}));
  Logger.ClearView();
  Logger.AddLine("alone");
  EXPECT_EQ(view.lines, (std::vector<std::string>{"alone"}));
  EXPECT_EQ(FileText(), "before\r\nafter\r\nalone\r\n");
}

TEST_F(LogTest, StartingAgainEmptiesTheFile) {
  Logger.AddLine("first run");
  Logger.Create(path.string());
  Logger.AddLine("second run");
  EXPECT_EQ(FileText(), "second run\r\n");
}

TEST_F(LogTest, FileHeldByAnotherProcessLeavesItAndTheViewWorks) {
  Logger.AddLine("theirs");
  Logger.Create("/dev/null");  // let go of our lock; a child must not inherit it
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t other = fork();
  if (other == 0) {  // another program holding the file locked
    const int fd = open(path.c_str(), O_RDWR);
    flock(fd, LOCK_EX);
    char c = 1;
    (void)!write(ready[1], &c, 1);
    pause();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  Logger.Create(path.string());
  EXPECT_FALSE(Logger.FileIsOpen());
  Logger.SetView(&view);
  Logger.AddLine("mine");
  EXPECT_EQ(view.lines, (std::vector<std::string>{"mine"}));
  EXPECT_EQ(FileText(), "theirs\r\n");
  kill(other, SIGKILL);
  waitpid(other, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
}

TEST_F(LogTest, ErrorLines) {
  Logger.AddError(5);
  Logger.AddError(2);
  Logger.AddError(424242);
  EXPECT_EQ(FileText(),
            "Error (5): Access is denied\r\n"
            "Error (2): The system cannot find the file specified\r\n"
            "Error (424242): \r\n");
}

TEST_F(LogTest, EngineHookFiltersAndWritesTheSystemBlock) {
  ConnectEngineLogToLogger();
  Logger.SetView(&view);
  SetEngineLogLevel(0);
  EngineLog(1, "short at none");
  EXPECT_TRUE(view.lines.empty());  // no block at None either

  SetEngineLogLevel(1);
  ASSERT_GE(view.lines.size(), 3u);
  EXPECT_EQ(view.lines.front(), kSystemInfoTopLine);
  EXPECT_EQ(view.lines.front().size(), 83u);
  EXPECT_EQ(view.lines[1], ProductLine());
  EXPECT_EQ(view.lines.back(), std::string(83, '='));
  const std::size_t block = view.lines.size();
  EngineLog(2, "verbose at short");
  EngineLog(1, "short at short");
  EngineLogError(1, 5);
  EXPECT_EQ(std::vector<std::string>(view.lines.begin() + static_cast<long>(block), view.lines.end()),
            (std::vector<std::string>{"short at short", "Error (5): Access is denied"}));
  SetEngineLogLevel(2);
  EXPECT_EQ(view.lines.size(), 2 * block + 2);  // a second block
}

TEST_F(LogTest, ConcurrentLinesNeverInterleave) {
  constexpr int kThreads = 8, kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      const std::string line(100, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) Logger.AddLine(line);
    });
  for (auto& th : threads) th.join();
  std::istringstream in(FileText());
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    ASSERT_EQ(line.size(), 101u);
    ASSERT_EQ(line.back(), '\r');
    ASSERT_EQ(line.find_first_not_of(line[0]), 100u);
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

TEST(SystemInfoLinesTest, SystemLineNamesAndNumbers) {
  struct Case { plat::OsVersion os; std::string expected; };
  const Case cases[] = {
      {{true, true, "", "Service Pack 2", 5, 1, 2600}, " Windows XP (Service Pack 2) Version 5.1 build 2600"},
      {{true, true, "", "", 4, 0, 1381}, " Windows NT 4.0 () Version 4.0 build 1381"},
      {{true, false, "", "", 4, 0, 950}, " Windows 95 () Version 4.0 build 950"},
      {{true, true, "", "", 3, 10, 528}, " Unknown (NT 3.X ?) () Version 3.10 build 528"},
      {{true, true, "", "", 10, 0, 19045}, "  () Version 10.0 build 19045"},
      {{true, false, "Linux", "6.1.0-28-amd64", 6, 1, 0}, " Linux (6.1.0-28-amd64) Version 6.1 build 0"},
  };
  for (const Case& c : cases) EXPECT_EQ(SystemLine(c.os).value_or("<none>"), c.expected);
  EXPECT_FALSE(SystemLine(plat::OsVersion{}).has_value());
  EXPECT_EQ(ProductLine(), " Contigra 0.1.0 build 1");
}

}  // namespace
