// String values under HKEY_LOCAL_MACHINE, read and written the way the
// program's shell integration needs. Every key is opened with full access
// (KEY_ALL_ACCESS), also for reading: a user who may not change the key
// reads nothing from it either. Key paths are backslash-separated names
// below the root; an empty value name is the key's default value.
#pragma once

#include <optional>
#include <string>

namespace win32::machine {

// The REG_SZ or REG_EXPAND_SZ value as stored (no expansion), without its
// terminating NULs; nothing when the key or value is missing, of another
// type or not accessible.
std::optional<std::string> ReadString(const std::string& key, const std::string& name);

// Creates the key and its missing parents and sets the REG_SZ value. False
// when any step failed.
bool WriteString(const std::string& key, const std::string& name, const std::string& value);

// False when the value could not be deleted, including when it was absent.
bool DeleteValue(const std::string& key, const std::string& name);

// Deletes the key with all its subkeys and values. False when it could not
// be deleted, including when it was absent.
bool DeleteTree(const std::string& key);

}  // namespace win32::machine
