#include "ConfigFile.h"

#include <filesystem>
#include <sstream>

#include "Files.h"

namespace fs = std::filesystem;

std::string ConfigFileName() { return plat::SettingsFolder() + "config.cfg"; }

namespace {

bool KeepBackup(const std::string& fileName) {
  std::error_code error;
  fs::copy_file(fileName, fileName + ".bak", fs::copy_options::overwrite_existing, error);
  return !error;
}

}  // namespace

TConfigLoadReport LoadConfigFile(const std::string& fileName, TProfileList& profiles,
                                 TOptions& options, const std::string& currentLanguage,
                                 char timeSeparator) {
  TConfigLoadReport report;
  pugi::xml_document doc;
  const bool exists = fs::exists(fileName);
  // Line ends are kept as written: SaveConfigFile writes a CR in a text
  // as it is, and folding it into LF here would change the entry.
  report.FileRead = exists && doc.load_file(fileName.c_str(), pugi::parse_default & ~pugi::parse_eol);
  const pugi::xml_node root = report.FileRead ? doc.document_element() : pugi::xml_node();
  for (const pugi::xml_node& child : root.child("Profiles").children()) {
    if (child.type() != pugi::node_element) continue;
    try {
      profiles.push_back(std::make_unique<TProfile>(child, timeSeparator));
    } catch (const TProfileReadError&) {
      ++report.ProfilesSkipped;
    }
  }
  options.LoadFromNode(root.child("Options"), currentLanguage);
  const bool damaged = (exists && !report.FileRead) || report.ProfilesSkipped > 0;
  if (damaged) report.BackupWritten = KeepBackup(fileName);
  return report;
}

bool SaveConfigFile(const std::string& fileName, const TProfileList& profiles,
                    const TOptions& options, char timeSeparator) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("Config");
  pugi::xml_node list = root.append_child("Profiles");
  pugi::xml_node optionsNode = root.append_child("Options");
  for (const auto& p : profiles) p->SaveToNode(list.append_child("Profile"), timeSeparator);
  options.SaveToNode(optionsNode);
  std::ostringstream text;
  doc.save(text, "", pugi::format_raw, pugi::encoding_utf8);

  return plat::ReplaceFileContents(fileName, text.str());
}
