// The FAT attribute byte (hidden, read-only, ...) on file systems that have one.
// Elsewhere there is no such attribute: the setters count as done, the test says false.
#pragma once

#include <string_view>

namespace kirvano {

inline constexpr unsigned kFatHidden = 0x02;

// Adds the hidden bit to the file's attributes (read, OR, write).
bool AddHiddenAttribute(std::string_view path);
// Replaces all attributes by the hidden bit alone.
bool SetOnlyHiddenAttribute(std::string_view path);
// True when the file system has the attribute and the hidden bit is set.
bool HasHiddenAttribute(std::string_view path);

} // namespace kirvano
