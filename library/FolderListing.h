// Listing a folder as the scans see it: hidden entries left out (a leading "." on every
// file system, the FAT hidden attribute where the volume has one), the three entry
// orders, and the test for a usable front recording file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

struct FolderEntry {
    std::string name;
    bool isDirectory = false;
    bool isRegular = false; // a regular file (symbolic links resolved)
};

struct FolderListing {
    std::vector<FolderEntry> entries;
    bool ok = false;
    int error = 0; // errno of a failed listing
};

// Every visible entry of the folder, in no particular order.
FolderListing ListFolder(const std::string& folder);

enum class EntryOrder {
    ByName,             // ascending by name
    SchemeThenSequence, // recording names first, then by the sequence characters
    FoldersThenNames,   // directories first, then files; each by name
};
void OrderEntries(std::vector<FolderEntry>& entries, EntryOrder order);

// folder + "/" + name ("/" alone is not doubled).
std::string JoinPath(std::string_view folder, std::string_view name);
// The path without its last component ("/" for a top-level entry, "." without a '/').
std::string ParentOf(std::string_view path);

// The file passes the container check (bytes 4-7 of the first 260 read "ftyp").
bool PassesContainerCheck(const std::string& path);

// A usable front recording: a regular file with the ".MOV" extension in any case, a front
// recording name and a container that passes the check.
bool IsUsableRecordingFile(const std::string& folder, const FolderEntry& entry);

// What the listings did, for measurements: folders listed, entries seen, FAT attribute
// queries made.
struct ListingCounters {
    std::uint64_t folders = 0;
    std::uint64_t entries = 0;
    std::uint64_t attributeQueries = 0;
    std::uint64_t containerChecks = 0;
};
ListingCounters ListingCountersSnapshot();
void ResetListingCounters();

// Makes every listing ask for the FAT attribute as on a FAT volume (tests and benchmarks
// pair it with SetFatAttributeCallsForTests where no FAT volume can be mounted).
void TreatEveryVolumeAsFatForTests(bool on);

} // namespace kirvano
