// Reading and writing the few parts of freedesktop.org desktop entry files
// that the program's autostart entry needs.
#pragma once

#include <optional>
#include <string>

namespace plat::desktop {

// The value of an Exec key that runs `program` with no arguments, whatever
// characters its path holds: the path is one quoted argument, literal
// percent signs are doubled, and the result is escaped as a string value
// (so a backslash in the path ends up as four).
std::string ExecValue(const std::string& program);

// `text` escaped as a plain string value (backslash, line breaks, tab, a
// leading blank).
std::string StringValue(const std::string& text);

// The raw value of `key` in the "Desktop Entry" group of the file text
// `entry` (no unescaping: callers compare it with plain words); nothing
// when the group or the key is missing.
std::optional<std::string> EntryValue(const std::string& entry, const std::string& key);

}  // namespace plat::desktop
