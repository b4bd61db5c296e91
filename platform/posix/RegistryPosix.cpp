// POSIX systems have no per-user registry: the store is empty. Expansion of
// %NAME% references uses the process environment with the Windows rules,
// except that names are case-sensitive here.
#include <cstdlib>

#include "Registry.h"

namespace plat {
namespace {

class EmptyUserRegistry final : public UserRegistry {
 public:
  std::string ReadString(const std::string&, const std::string&) override { return {}; }
  std::vector<std::string> SubkeyNames(const std::string&) override { return {}; }
};

}  // namespace

std::unique_ptr<UserRegistry> MakeUserRegistry() { return std::make_unique<EmptyUserRegistry>(); }

std::string ExpandEnvironmentText(const std::string& text) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('%', pos);
    const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) break;
    out.append(text, pos, open - pos);
    const std::string name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    // An unset name is copied with both of its percent signs, as Windows does.
    out += value ? std::string(value) : text.substr(open, close - open + 1);
    pos = close + 1;
  }
  out.append(text, pos, std::string::npos);
  return out;
}

}  // namespace plat
