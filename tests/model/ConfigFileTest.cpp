#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ConfigFile.h"

namespace {

namespace fs = std::filesystem;

class ConfigFileTest : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("contigra-config-" + std::to_string(getpid()));
  std::string file = (dir / "config.cfg").string();
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  void Write(const std::string& text, const std::string& path = {}) {
    std::ofstream(path.empty() ? file : path, std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

std::string Profile(const std::string& name) {
  return "<Profile Name=\"" + name + "\" RunMethod=\"0\"><Files><File>C:\\" + name +
         "</File></Files><Scheduler><Active>false</Active><Start>3:05</Start><Days Day0=\"False\" "
         "Day1=\"False\" Day2=\"False\" Day3=\"False\" Day4=\"False\" Day5=\"False\" "
         "Day6=\"False\"/></Scheduler></Profile>";
}

const char* kDefaultOptions =
    "<Options AnimateTray=\"True\" MinimizeOnStartup=\"False\" MinimizeOnClose=\"False\" "
    "ConfirmExit=\"True\" LogLevel=\"1\" LogMaxLines=\"100\" Language=\"de_DE\" "
    "ShowLogWindow=\"True\" ShowSchedule=\"True\"/>";

TEST_F(ConfigFileTest, FirstStartGivesDefaultsAndWritesThemInOrder) {
  TProfileList profiles;
  TOptions options;
  const auto report = LoadConfigFile(file, profiles, options, "de_DE");
  EXPECT_FALSE(report.FileRead);
  EXPECT_FALSE(report.BackupWritten);
  EXPECT_TRUE(profiles.empty());
  ASSERT_TRUE(SaveConfigFile(file, profiles, options));
  const std::string text = Read(file);
  EXPECT_NE(text.find(std::string("<Config><Profiles/>") + kDefaultOptions + "</Config>"),
            std::string::npos)
      << text;
  EXPECT_FALSE(fs::exists(file + ".tmp"));
}

TEST_F(ConfigFileTest, OptionsAttributeByAttribute) {
  struct Case { const char* attrs; TOptions expected; };
  auto opts = [](auto edit) {
    TOptions o;
    o.LoadFromNode(pugi::xml_node(), "en_US");
    edit(o);
    return o;
  };
  const Case cases[] = {
      {"LogLevel=\"2\"", opts([](TOptions& o) { o.LogLevel = 2; })},
      {"LogMaxLines=\"abc\"", opts([](TOptions&) {})},
      {"ConfirmExit=\"FALSE\"", opts([](TOptions& o) { o.ConfirmExit = false; })},
      {"ConfirmExit=\"0\" AnimateTray=\"7\"", opts([](TOptions& o) { o.ConfirmExit = false; })},
      {"LogLevel=\"7\" LogMaxLines=\"-5\"", opts([](TOptions& o) { o.LogLevel = 7; o.LogMaxLines = -5; })},
      {"Language=\"fr_FR\"", opts([](TOptions& o) { o.Language = "fr_FR"; })},
      {"Language=\"\"", opts([](TOptions& o) { o.Language = ""; })},
  };
  for (const Case& c : cases) {
    Write(std::string("<?xml version=\"1.0\"?><Config><Profiles/><Options ") + c.attrs +
          "/></Config>");
    TProfileList profiles;
    TOptions o;
    o.Startup = o.ContextMenu = true;  // not the file's business
    LoadConfigFile(file, profiles, o, "en_US");
    const TOptions& e = c.expected;
    EXPECT_TRUE(o.Startup && o.ContextMenu);
    EXPECT_EQ(std::tie(o.MinimizeOnStartup, o.MinimizeOnClose, o.AnimateTray, o.ConfirmExit,
                       o.LogLevel, o.LogMaxLines, o.Language, o.ShowLogWindow, o.ShowSchedule),
              std::tie(e.MinimizeOnStartup, e.MinimizeOnClose, e.AnimateTray, e.ConfirmExit,
                       e.LogLevel, e.LogMaxLines, e.Language, e.ShowLogWindow, e.ShowSchedule))
        << c.attrs;
  }
}

TEST_F(ConfigFileTest, ABadProfileIsSkippedAndTheOriginalKept) {
  std::string second = Profile("two");
  second.erase(second.find("Name=\"two\" "), 11);
  const std::string original = "<Settings>\n  <Profiles>\n    " + Profile("one") + "\n    " +
                               second + "\n    " + Profile("three") +
                               "\n  </Profiles>\n  <Options LogLevel=\"2\"/>\n</Settings>\n";
  Write(original);
  TProfileList profiles;
  TOptions options;
  const auto report = LoadConfigFile(file, profiles, options, "en_US");
  EXPECT_EQ(report.ProfilesSkipped, 1);
  ASSERT_EQ(profiles.size(), 2u);
  EXPECT_EQ(profiles[0]->Name, "one");
  EXPECT_EQ(profiles[1]->Name, "three");
  EXPECT_EQ(options.LogLevel, 2);
  EXPECT_TRUE(report.BackupWritten);
  EXPECT_EQ(Read(file + ".bak"), original);
  ASSERT_TRUE(SaveConfigFile(file, profiles, options));
  EXPECT_EQ(Read(file + ".bak"), original);
  const std::string saved = Read(file);
  EXPECT_NE(saved.find("<Config><Profiles><Profile Name=\"one\""), std::string::npos);
}

TEST_F(ConfigFileTest, BrokenOrForeignFilesLoadWhatTheyCan) {
  for (const std::string& text : {std::string(""), std::string("<Config><Profiles>"),
                                  std::string("not xml at all")}) {
    Write(text);
    TProfileList profiles;
    TOptions options;
    const auto report = LoadConfigFile(file, profiles, options, "en_US");
    EXPECT_TRUE(profiles.empty());
    EXPECT_EQ(options.LogMaxLines, 100);
    EXPECT_TRUE(report.BackupWritten) << text;
    EXPECT_EQ(Read(file + ".bak"), text);
  }
}

TEST_F(ConfigFileTest, AFailedSaveLeavesTheOldFile) {
  Write("<Config/>");
  fs::create_directories(file + ".tmp");  // the temporary file cannot be created
  TProfileList profiles;
  TOptions options;
  EXPECT_FALSE(SaveConfigFile(file, profiles, options));
  EXPECT_EQ(Read(file), "<Config/>");
}

// A process killed while saving in a loop leaves the old or the new file,
// never a mixture or a truncated one.
TEST_F(ConfigFileTest, KilledWhileSavingLeavesAWholeFile) {
  TProfileList small, large;
  for (int i = 0; i < 200; ++i) {
    large.push_back(std::make_unique<TProfile>());
    large.back()->Name = "profile " + std::to_string(i);
    large.back()->Files.assign(20, "C:\\some\\rather\\long\\path\\to\\a\\file.dat");
  }
  TOptions options;
  options.LoadFromNode(pugi::xml_node(), "en_US");
  ASSERT_TRUE(SaveConfigFile(file, small, options));
  const std::string smallText = Read(file);
  ASSERT_TRUE(SaveConfigFile(file, large, options));
  const std::string largeText = Read(file);
  for (int trial = 0; trial < 20; ++trial) {
    const pid_t child = fork();
    if (child == 0) {
      for (;;) {
        SaveConfigFile(file, small, options);
        SaveConfigFile(file, large, options);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + trial * 3));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string now = Read(file);
    ASSERT_TRUE(now == smallText || now == largeText) << "trial " << trial;
  }
}

}  // namespace
