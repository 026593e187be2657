// Listing a folder as the scans see it: hidden entries left out (a leading "." on every
// file system, the FAT hidden attribute where the volume has one), the three entry
// orders, and the test for a usable front recording file.
#pragma once

#include <cstdint>
#include <memory>
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
    AsListed,           // the order the file system gave
};
void OrderEntries(std::vector<FolderEntry>& entries, EntryOrder order);

// The folder's listing in an order, shared: within a session the scans that ask for the
// same folder in the same order get the same listing, neither copied nor sorted again.
std::shared_ptr<const FolderListing> ListFolderOrdered(const std::string& folder, EntryOrder order);

// folder + "/" + name ("/" alone is not doubled).
std::string JoinPath(std::string_view folder, std::string_view name);
// The path without its last component ("/" for a top-level entry, "." without a '/').
std::string ParentOf(std::string_view path);

// The file passes the container check (bytes 4-7 of the first 260 read "ftyp").
bool PassesContainerCheck(const std::string& path);
// The size of a file that passes the container check, -1 for any other; the check and the
// size come from one open.
// When the file cannot be opened at all (it vanished, the card was pulled), why not is
// set to the reason.
std::int64_t CheckedMovieSize(const std::string& path, std::string* whyNot = nullptr);

// The size of a regular file, 0 when there is none (a recording's rear and data files).
std::int64_t CompanionFileSize(const std::string& path);

// While a ScanSession is active on a thread, the scans of that thread reuse listings,
// and container checks they already made in the session: one load examines a
// camera folder several times (its runs, its mask, the firmware version, the initial
// selection) and the card does not change between them.
class ScanSession {
public:
    ScanSession();
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    struct State;

private:
    friend class ScanSessionScope;
    std::unique_ptr<State> state_;
};
// Makes a session active on this thread for the scope's life (nothing with nullptr).
class ScanSessionScope {
public:
    explicit ScanSessionScope(ScanSession* session);
    ~ScanSessionScope();
    ScanSessionScope(const ScanSessionScope&) = delete;
    ScanSessionScope& operator=(const ScanSessionScope&) = delete;

private:
    ScanSession::State* previous_;
    bool active_;
};

// A usable front recording: a regular file with the ".MOV" extension in any case, a front
// recording name and a container that passes the check.
bool IsUsableRecordingFile(const std::string& folder, const FolderEntry& entry,
                           std::string* whyNot = nullptr);

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
