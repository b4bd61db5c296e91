#include "DesktopEntry.h"

#include <sstream>

namespace plat::desktop {
namespace {

// Inside a quoted argument these four keep their meaning unless escaped.
bool NeedsQuoteEscape(char c) { return c == '"' || c == '`' || c == '$' || c == '\\'; }

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string StringValue(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == ' ' && out.empty()) {
      out += "\\s";  // readers drop blanks at the start of a value
      continue;
    }
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string ExecValue(const std::string& program) {
  // Readers undo the string escapes first, then the quoting, then expand
  // field codes; so the writer goes the other way round.
  std::string quoted = "\"";
  for (const char c : program) {
    if (NeedsQuoteEscape(c)) quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  quoted += '"';
  return StringValue(quoted);
}

std::optional<std::string> EntryValue(const std::string& entry, const std::string& key) {
  std::istringstream lines(entry);
  std::string line;
  bool inGroup = false;
  while (std::getline(lines, line)) {
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == '#') continue;
    if (text[0] == '[') {
      inGroup = text == "[Desktop Entry]";
      continue;
    }
    const auto equals = text.find('=');
    if (inGroup && equals != std::string::npos && Trimmed(text.substr(0, equals)) == key)
      return Trimmed(text.substr(equals + 1));
  }
  return std::nullopt;
}

}  // namespace plat::desktop
