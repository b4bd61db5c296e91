// The current user's settings store, read only, and the expansion of
// environment references. On Windows the store is HKEY_CURRENT_USER and the
// expansion is the system's; elsewhere the store holds no values, so every
// read answers "no value".
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace plat {

class UserRegistry {
 public:
  virtual ~UserRegistry() = default;

  // The string value `name` of `key` (a path of backslash-separated key
  // names under the user's hive), with the key opened for reading only.
  // Empty when the key or the value is missing or the value is not a
  // string (REG_SZ or REG_EXPAND_SZ, returned as stored).
  virtual std::string ReadString(const std::string& key, const std::string& name) = 0;

  // The names of the direct subkeys of `key`, in the store's enumeration
  // order; empty when the key is missing.
  virtual std::vector<std::string> SubkeyNames(const std::string& key) = 0;
};

// The system's store for the current user.
std::unique_ptr<UserRegistry> MakeUserRegistry();

// `text` with every %NAME% reference to a set environment variable replaced
// by its value, as the system's environment-string expansion does;
// references to unset variables stay as written.
std::string ExpandEnvironmentText(const std::string& text);

}  // namespace plat
