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

namespace kirvano {

// The two attribute calls on an open file descriptor, each returning 0 or an errno
// value. Replaceable so that tests check the read-OR-write order without a FAT volume.
struct FatAttributeCalls {
    int (*get)(int fd, unsigned* attributes);
    int (*set)(int fd, unsigned attributes);
};
// Uses calls instead of the kernel's ioctls; nullptr restores the ioctls.
void SetFatAttributeCallsForTests(const FatAttributeCalls* calls);

} // namespace kirvano
