// The session-start entry on POSIX: an XDG autostart file in a temporary
// configuration folder, read back the way desktops read it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ShellEntries.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The value of `key` in the file's text ("key=value" lines), with the
// blanks after the equals sign dropped as readers do.
std::optional<std::string> RawValue(const std::string& entry, const std::string& key) {
  const std::string prefix = "\n" + key + "=";
  const auto at = ("\n" + entry).find(prefix);
  if (at == std::string::npos) return std::nullopt;
  auto start = at + prefix.size() - 1;
  while (start < entry.size() && (entry[start] == ' ' || entry[start] == '\t')) ++start;
  return entry.substr(start, entry.find('\n', start) - start);
}

// A string value's escapes undone (\s \n \t \r \\).
std::string UnescapeString(const std::string& value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const char next = value[++i];
    out += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
  }
  return out;
}

// An Exec value turned into the program's arguments, in the order the
// Desktop Entry rules give: string escapes, then quoting, then field codes
// (only %% may appear: the entry passes no files).
std::vector<std::string> ExecArguments(const std::string& value) {
  const std::string text = UnescapeString(value);
  std::vector<std::string> args;
  std::string current;
  bool inArgument = false, quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      // Inside quotes these four must come escaped, and only they may be.
      if (c == '\\') {
        EXPECT_TRUE(i + 1 < text.size() && std::strchr("\"`$\\", text[i + 1])) << value;
        if (i + 1 < text.size()) current += text[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        EXPECT_TRUE(c != '$' && c != '`') << "unescaped in quotes: " << value;
        current += c;
      }
    } else if (c == ' ' || c == '\t') {
      if (inArgument) args.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      EXPECT_TRUE(c != '\\' && c != '$' && c != '`' && c != '\'') << "unquoted reserved: " << value;
      if (c == '"') quoted = true;
      else current += c;
      inArgument = true;
    }
  }
  EXPECT_FALSE(quoted) << "unterminated quote: " << value;
  if (inArgument) args.push_back(current);
  for (std::string& arg : args) {
    std::string expanded;
    for (std::size_t i = 0; i < arg.size(); ++i) {
      if (arg[i] == '%') {
        EXPECT_TRUE(i + 1 < arg.size() && arg[i + 1] == '%') << "field code in " << value;
        ++i;
      }
      expanded += arg[i];
    }
    arg = expanded;
  }
  return args;
}

class ShellIntegrationPosixTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("contigra-shell-test-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "home");
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
      if (const char* value = getenv(name)) saved_.emplace_back(name, value);
    setenv("HOME", (root_ / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("HOME");
    unsetenv("XDG_CONFIG_HOME");
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
    fs::remove_all(root_);
  }

  fs::path Entry() const { return root_ / "config" / "autostart" / "contigra.desktop"; }

  fs::path root_;
  std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(ShellIntegrationPosixTest, OnWritesTheEntryOffRemovesIt) {
  EXPECT_FALSE(plat::StartupEntryPresent());
  plat::SaveStartupEntry(true, "/opt/contigra/bin/contigra");
  ASSERT_TRUE(fs::exists(Entry()));
  EXPECT_TRUE(plat::StartupEntryPresent());
  const std::string entry = ReadAll(Entry());
  EXPECT_EQ(entry.substr(0, entry.find('\n')), "[Desktop Entry]");
  EXPECT_EQ(RawValue(entry, "Type"), "Application");
  EXPECT_EQ(ExecArguments(RawValue(entry, "Exec").value_or("")),
            std::vector<std::string>{"/opt/contigra/bin/contigra"});

  plat::SaveStartupEntry(false, "/opt/contigra/bin/contigra");
  EXPECT_FALSE(fs::exists(Entry()));
  EXPECT_FALSE(plat::StartupEntryPresent());
  plat::SaveStartupEntry(false, "/opt/contigra/bin/contigra");  // nothing to remove: no harm
  EXPECT_FALSE(plat::StartupEntryPresent());

  // Without a usable XDG_CONFIG_HOME the folder is ~/.config.
  for (const char* xdg : {"", "relative/config"}) {
    setenv("XDG_CONFIG_HOME", xdg, 1);
    plat::SaveStartupEntry(true, "/usr/bin/contigra");
    EXPECT_TRUE(fs::exists(root_ / "home" / ".config" / "autostart" / "contigra.desktop")) << xdg;
    EXPECT_TRUE(plat::StartupEntryPresent()) << xdg;
    plat::SaveStartupEntry(false, "/usr/bin/contigra");
    EXPECT_FALSE(fs::exists(root_ / "home" / ".config" / "autostart" / "contigra.desktop")) << xdg;
  }
}

TEST_F(ShellIntegrationPosixTest, AnEntryLeftByAnotherCopyCountsAndIsReplaced) {
  WriteAll(Entry(),
           "[Desktop Entry]\nType=Application\nName=Contigra\nExec=/old/place/contigra\n"
           "X-Someone=kept until the next save\n");
  EXPECT_TRUE(plat::StartupEntryPresent());
  plat::SaveStartupEntry(true, "/new/place/contigra");
  const std::string entry = ReadAll(Entry());
  EXPECT_EQ(ExecArguments(RawValue(entry, "Exec").value_or("")),
            std::vector<std::string>{"/new/place/contigra"});
  EXPECT_EQ(entry.find("/old/place"), std::string::npos);
  EXPECT_EQ(entry.find("X-Someone"), std::string::npos);
}

TEST_F(ShellIntegrationPosixTest, EntriesThatStartNothingReadAsOff) {
  const struct {
    const char* text;
    bool on;
  } cases[] = {
      {"[Desktop Entry]\nExec=/x/contigra\n", true},
      {"# comment\n[Desktop Entry]\nName=Contigra\nExec = /x/contigra\r\n", true},
      {"[Desktop Entry]\nExec=/x/contigra\nHidden=true\n", false},
      {"[Desktop Entry]\nExec=/x/contigra\nHidden=false\n", true},
      {"[Desktop Entry]\nExec=/x/contigra\nX-GNOME-Autostart-enabled=false\n", false},
      {"[Desktop Entry]\nExec=\n", false},
      {"[Desktop Entry]\nName=Contigra\n", false},
      {"[Desktop Action x]\nExec=/x/contigra\n", false},
      {"", false},
  };
  for (const auto& c : cases) {
    WriteAll(Entry(), c.text);
    EXPECT_EQ(plat::StartupEntryPresent(), c.on) << c.text;
  }
}

TEST_F(ShellIntegrationPosixTest, ExecGivesBackExactlyTheProgramPath) {
  const char* paths[] = {
      "/home/a b/My Programs/contigra",
      "/tmp/\"quoted\"/contigra",
      "/tmp/back\\slash/two\\\\/contigra",
      "/tmp/$HOME/${PATH}/contigra",
      "/tmp/`id`/$(id)/contigra",
      "/tmp/100%/%f %u %%/contigra",
      "/tmp/it's; a|b&c <d> ~e #f *g? (h)/contigra",
      "/tmp/line\nbreak\ttab\rreturn/contigra",
      "/tmp/\\$\\`\\\"/contigra",
      " /leading blank",
  };
  for (const char* path : paths) {
    plat::SaveStartupEntry(true, path);
    const std::string entry = ReadAll(Entry());
    const auto exec = RawValue(entry, "Exec");
    ASSERT_TRUE(exec) << path;
    EXPECT_EQ(ExecArguments(*exec), std::vector<std::string>{path}) << *exec;
    EXPECT_EQ(UnescapeString(RawValue(entry, "TryExec").value_or("")), path);
    EXPECT_TRUE(plat::StartupEntryPresent()) << path;
  }
}

TEST_F(ShellIntegrationPosixTest, TheDesktopsLauncherStartsTheProgramFromTheEntry) {
  const std::string gio = "/usr/bin/gio";
  if (access(gio.c_str(), X_OK) != 0) GTEST_SKIP() << "no gio launcher here";
  // No percent sign here: GLib looks for the program before it undoes %%,
  // so it finds none; the table above checks those paths by the rules.
  const fs::path folder = root_ / "odd \"name\" $HOME `id` back\\slash";
  const fs::path program = folder / "it's contigra";
  const fs::path marker = root_ / "started";
  WriteAll(program, "#!/bin/sh\nprintf '%s' \"$0\" > '" + marker.string() + "'\n");
  fs::permissions(program, fs::perms::owner_all);

  plat::SaveStartupEntry(true, program.string());
  const std::string command = gio + " launch '" + Entry().string() + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadAll(Entry());
  for (int i = 0; i < 100 && ReadAll(marker).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ReadAll(marker), program.string()) << ReadAll(Entry());
}

TEST_F(ShellIntegrationPosixTest, NoFileVerbHere) {
  EXPECT_FALSE(plat::FileVerbSupported());
  plat::SaveFileVerb(true, "/usr/bin/contigra");
  EXPECT_FALSE(plat::FileVerbPresent());
  EXPECT_FALSE(fs::exists(root_ / "config"));  // nothing written anywhere
}

}  // namespace
