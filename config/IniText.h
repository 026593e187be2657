// The configuration file's text form: "[SECTION]" lines and "key=value" lines. Pure
// functions on bytes, so that tests and fuzzers feed memory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kirvano {

// The value of key in section. Section and key names compare without regard to ASCII case;
// the value is returned as stored, without surrounding blanks. Lines that are neither a
// section, a key nor a comment are skipped. Empty when the section or the key is missing.
std::string IniValue(std::string_view text, std::string_view section, std::string_view key);

// True when a section, key and value can be stored in the text form without changing
// the meaning of other lines (no line breaks, no NUL, a key without '=' or a leading '['
// or ';', a section without ']').
bool IsStorableIniEntry(std::string_view section, std::string_view key, std::string_view value);

// The text with key=value set in section: the first line of that key in the section is
// replaced; otherwise the line is added at the end of the section, or a new section is
// appended. Every other line is kept byte for byte. Line ends follow the text's first
// line end (CRLF or LF). Nothing when the entry cannot be stored.
std::optional<std::string> IniWithValue(std::string_view text, std::string_view section,
                                        std::string_view key, std::string_view value);

} // namespace kirvano
