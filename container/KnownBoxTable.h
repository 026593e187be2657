// The box types that count as a box when the tree parse decides whether a payload starts
// with child boxes. Case-sensitive; shorter types are padded with blanks.
#pragma once

#include <array>
#include <string_view>

namespace kirvano {

// The 168 members in their fixed order ("xml " is listed twice).
const std::array<std::string_view, 168>& KnownBoxTable();
// True when the four characters are a member.
bool IsKnownBox(std::string_view type);

} // namespace kirvano
