// Cards of tiny files for the scan tests: movies of 260 bytes that pass the container
// check, with rear and data companions, named by the recorder's scheme.
#pragma once

#include "support/TempDir.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace kirvano::testing {

// Cards of thousands of files are built in memory when /dev/shm is there: the tests are
// about the scan, not the disk.
[[maybe_unused]] inline const bool kCardsInMemory = [] {
    if (::access("/dev/shm", W_OK) == 0)
        ::setenv("TMPDIR", "/dev/shm", 0);
    return true;
}();

// A recording name: prefix is the three trigger characters ("A__", "AGS", ...), at the
// local clock reading start + offset seconds (start 2022-08-01 12:00:00 by default).
inline std::string NameAt(const std::string& prefix, long offset, int sequence, char camera = 'F',
                          int year = 2022, int month = 8, int day = 1) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = 12;
    const std::time_t base = timegm(&t) + offset;
    std::tm at{};
    gmtime_r(&base, &at);
    char name[64];
    std::snprintf(name, sizeof name, "%s-%02d%02d%02d-%02d%02d%02d-%06d%c.%s", prefix.c_str(),
                  at.tm_year % 100, at.tm_mon + 1, at.tm_mday, at.tm_hour, at.tm_min, at.tm_sec,
                  sequence, camera, camera == 'D' ? "ADA" : "MOV");
    return name;
}

inline std::string MovieBytes(std::size_t size = 260) {
    std::string bytes(size, '\0');
    bytes.replace(0, 8,
                  std::string("\0\0\0\x14"
                              "ftyp",
                              8));
    return bytes;
}

// Writes a front movie into folder (created), and its rear and data companions when
// asked; returns the front path.
inline std::string AddMovie(const std::string& folder, const std::string& name,
                            std::size_t size = 260) {
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + name;
    WriteAll(path, MovieBytes(size));
    return path;
}

// A card layout: root/<top>/Front|Rear_|Data with a recording's three files.
inline std::string AddRecording(const std::string& root, const std::string& top,
                                const std::string& frontName, std::size_t frontSize = 260,
                                std::size_t rearSize = 300, std::size_t dataSize = 100) {
    const std::string front = AddMovie(root + "/" + top + "/Front", frontName, frontSize);
    std::string rear = frontName;
    rear[24] = 'R';
    if (rearSize > 0)
        AddMovie(root + "/" + top + "/Rear_", rear, rearSize);
    std::string data = frontName;
    data[24] = 'D';
    data.replace(26, 3, "ADA");
    if (dataSize > 0) {
        std::filesystem::create_directories(root + "/" + top + "/Data");
        WriteAll(root + "/" + top + "/Data/" + data, std::string(dataSize, 'd'));
    }
    return front;
}

} // namespace kirvano::testing
