#include "Options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "Profile.h"

bool TOptions::ReadBool(const pugi::xml_node& node, const char* name, bool defaultValue) {
  const pugi::xml_attribute a = node.attribute(name);
  bool value = defaultValue;
  return a && ParseBoolean(a.value(), value) ? value : defaultValue;
}

std::int32_t TOptions::ReadInt(const pugi::xml_node& node, const char* name,
                               std::int32_t defaultValue) {
  const pugi::xml_attribute a = node.attribute(name);
  if (!a || *a.value() == '\0') return defaultValue;
  char* end = nullptr;
  errno = 0;
  const long long n = std::strtoll(a.value(), &end, 10);
  if (*end != '\0' || errno == ERANGE || n < INT32_MIN || n > INT32_MAX) return defaultValue;
  return static_cast<std::int32_t>(n);
}

std::string TOptions::ReadStr(const pugi::xml_node& node, const char* name,
                              const std::string& defaultValue) {
  const pugi::xml_attribute a = node.attribute(name);
  return a ? std::string(a.value()) : defaultValue;
}

void TOptions::LoadFromNode(const pugi::xml_node& node, const std::string& currentLanguage) {
  MinimizeOnStartup = ReadBool(node, "MinimizeOnStartup", false);
  MinimizeOnClose = ReadBool(node, "MinimizeOnClose", false);
  AnimateTray = ReadBool(node, "AnimateTray", true);
  ConfirmExit = ReadBool(node, "ConfirmExit", true);
  LogLevel = ReadInt(node, "LogLevel", 1);
  LogMaxLines = ReadInt(node, "LogMaxLines", 100);
  Language = ReadStr(node, "Language", currentLanguage);
  ShowLogWindow = ReadBool(node, "ShowLogWindow", true);
  ShowSchedule = ReadBool(node, "ShowSchedule", true);
}

void TOptions::SaveToNode(pugi::xml_node node) const {
  auto flag = [&](const char* name, bool v) { node.append_attribute(name) = v ? "True" : "False"; };
  flag("AnimateTray", AnimateTray);
  flag("MinimizeOnStartup", MinimizeOnStartup);
  flag("MinimizeOnClose", MinimizeOnClose);
  flag("ConfirmExit", ConfirmExit);
  node.append_attribute("LogLevel") = LogLevel;
  node.append_attribute("LogMaxLines") = LogMaxLines;
  node.append_attribute("Language") = Language.c_str();
  flag("ShowLogWindow", ShowLogWindow);
  flag("ShowSchedule", ShowSchedule);
}
