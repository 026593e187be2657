// Retiring a recording. A card's recorder reuses file slots, so there the files are
// hidden and renamed to dummy names with the sequence number moved on by 150000; any
// other file goes to the trash. Nothing is ever deleted permanently or overwritten.
#include "library/RetireRecording.h"

#include "base/FileSystem.h"
#include "config/FileAttributes.h"
#include "config/Settings.h"
#include "library/RecordingName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace kirvano {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

struct CompanionRow {
    const char* folder;
    char letter;
    const char* extension;
    const char* alternative;
    const char* dummy;
};

constexpr CompanionRow kRows[] = {
    {"Front", 'F', "MOV", nullptr, "DMY"},
    {"Rear_", 'R', "MOV", "DMY", "DMY"},
    {"Data", 'D', "ADA", nullptr, "ADA"},
};

std::string Stem(const std::string& base, const char* cameraFolder, std::string_view prefix,
                 long sequence, char letter) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "%06ld%c.", sequence, letter);
    std::string stem = base;
    if (cameraFolder) {
        stem += '/';
        stem += cameraFolder;
    }
    stem += '/';
    stem += prefix;
    stem += tail;
    return stem;
}

bool RetireOnCard(std::string_view path) {
    const std::string_view name = FileNameOf(path);
    const std::string folder = FolderOf(path); // "." for a bare name
    const std::string_view folderName = FileNameOf(folder);
    // The camera folders count when they have a parent named in the path.
    const bool cameraFolders =
        folder.rfind('/') != std::string::npos && folder.rfind('/') != 0 &&
        (folderName == "Front" || folderName == "Rear_" || folderName == "Data");
    const std::string base = cameraFolders ? FolderOf(folder) : folder;

    const std::string_view prefix = name.substr(0, 18);
    long sequence = 0; // the pattern may match elsewhere in the name: read digits only
    for (const char c : name.substr(18, 6))
        sequence = c >= '0' && c <= '9' ? sequence * 10 + (c - '0') : sequence * 10;
    const long shifted = sequence + 150000 > 999999 ? sequence - 850000 : sequence + 150000;

    bool result = true;
    bool front = true;
    for (const CompanionRow& row : kRows) {
        const bool first = front;
        front = false;
        const char* cameraFolder = cameraFolders ? row.folder : nullptr;
        const std::string stem = Stem(base, cameraFolder, prefix, sequence, row.letter);
        std::string source = stem + row.extension;
        if (!Exists(source)) {
            if (!row.alternative || !Exists(stem + row.alternative))
                continue;
            source = stem + row.alternative;
        }
        const std::string target =
            Stem(base, cameraFolder, prefix, shifted, row.letter) + row.dummy;
        const bool moved =
            !Exists(target) && AddHiddenAttribute(source) && RenameNoReplace(source, target) == 0;
        if (!moved) {
            if (first)
                return false;
            // A taken dummy slot of a companion is left alone; a failed move is reported.
            if (!Exists(target))
                result = false;
        }
    }
    return result;
}

bool RetireElsewhere(std::string_view path) {
    bool result = true;
    const std::string file(path);
    if (Exists(file))
        result = MoveToRecycleBin(file) && result;
    if (IsFrontRecordingName(FileNameOf(path))) {
        for (const std::string& companion : {RearPathOf(path), DataPathOf(path)}) {
            if (Exists(companion))
                result = MoveToRecycleBin(companion) && result;
        }
    }
    return result;
}

} // namespace

bool RetireRecording(std::string_view path) {
    if (path.empty())
        return false;
    const std::string_view name = FileNameOf(path);
    if (IsRecorderCardPath(path) && IsRecordingName(name) && name.size() >= 24)
        return RetireOnCard(path);
    return RetireElsewhere(path);
}

} // namespace kirvano
