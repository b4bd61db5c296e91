// The program options and their "Options" element of the configuration file.
#pragma once

#include <cstdint>
#include <string>

#include <pugixml.hpp>

class TOptions {
 public:
  bool Startup = false;       // kept by the shell integration, not the file
  bool MinimizeOnStartup = false;
  bool MinimizeOnClose = false;
  bool AnimateTray = false;
  bool ContextMenu = false;   // kept by the shell integration, not the file
  bool ConfirmExit = false;
  std::string Language;
  std::int32_t LogLevel = 0;
  std::int32_t LogMaxLines = 0;
  bool ShowLogWindow = false;
  bool ShowSchedule = false;

  // Every field zero, false or empty.
  TOptions() = default;

  // Fills each stored option from `node` (which may be null), the default
  // where it is missing or does not convert; no range checks. Startup and
  // ContextMenu are left alone. `currentLanguage` is Language's default.
  void LoadFromNode(const pugi::xml_node& node, const std::string& currentLanguage);
  // Sets the nine attributes, in the file's order.
  void SaveToNode(pugi::xml_node node) const;

  static bool ReadBool(const pugi::xml_node& node, const char* name, bool defaultValue);
  static std::int32_t ReadInt(const pugi::xml_node& node, const char* name,
                              std::int32_t defaultValue);
  static std::string ReadStr(const pugi::xml_node& node, const char* name,
                             const std::string& defaultValue);
};
