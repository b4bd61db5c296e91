#include "HelperArgs.h"

namespace aux {

bool IsSwitch(const std::string& arg, char letter) {
  if (arg.size() != 2 || (arg[0] != '-' && arg[0] != '/')) return false;
  const char c = arg[1];
  return c == letter || c == letter - 'a' + 'A';
}

bool HasSwitch(const std::vector<std::string>& args, char letter) {
  for (const std::string& a : args)
    if (IsSwitch(a, letter)) return true;
  return false;
}

std::vector<std::string> SplitListLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace aux
