// The in-memory record of one front recording, the placeholder records that stand for
// tree items, the process-wide serial counter and the recording-list order.
#pragma once

#include "base/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

// What the user opened.
enum class SourceKind : int { Card = 1, Folder = 2, File = 3 };

// A local date-time with the day of the week, 16 bits a field.
struct LocalDateTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t milliseconds = 0;
};

// One front recording file; plain data, copied by value.
struct RecordingInfo {
    std::string path; // the front video file
    std::string name; // its file name
    std::int32_t serial = 0;
    std::int32_t typeLetter = 0; // TypeLetterOf(name), 0 without a trigger letter
    std::int32_t marked = 0;
    // Filled when the recording is opened for playback.
    std::int32_t resolutionCode = 0;
    float frameIntervalMs = 0.0f;
    LocalDateTime startTime;
    // Real file sizes (64-bit); rear and data are 0 when the file does not exist.
    std::int64_t frontSize = 0;
    std::int64_t rearSize = 0;
    std::int64_t dataSize = 0;

    bool isPlaceholder() const { return serial == -1 && frontSize == -1; }
};

// The process-wide creation counter: every load, rescan and collection resets it.
void ResetSerial();
// Takes the counter's value and increments it.
std::int32_t TakeSerial();

// Appends the record of a front movie file. False (nothing appended) when the extension
// is not ".MOV" (any case) or the file cannot be opened.
bool MakeRecord(const std::string& path, std::vector<RecordingInfo>& list);
// The same for a front movie whose size is known (from the container check).
void MakeRecordOfMovie(const std::string& path, std::int64_t frontSize,
                       std::vector<RecordingInfo>& list);
// Appends a placeholder: path and name set, serial and sizes -1.
void MakePlaceholder(const std::string& path, std::vector<RecordingInfo>& list);

// Removes every record whose name equals the name of a removed record, keeping the
// order of the rest.
void RemoveByName(std::vector<RecordingInfo>& list, const std::vector<RecordingInfo>& removed);

// Recording names first, then the others; within each part by the sequence characters
// (name positions 18-23) as text. Equal keys fall back to the whole name so that the
// order does not depend on the listing.
void SortRecordings(std::vector<RecordingInfo>& list);

// A name's place in that order, computed once (the name must outlive it).
struct ListOrderKey {
    bool scheme = false;
    std::string_view sequence;
    std::string_view name;
};
ListOrderKey ListOrderKeyOf(std::string_view name);
bool ListsBefore(const ListOrderKey& a, const ListOrderKey& b);

// The extension from the last dot of the file name equals ".MOV" in any case.
bool HasMovExtension(std::string_view name);
// The six sequence characters of a name (fewer when the name is short).
std::string_view SequenceKeyOf(std::string_view name);

} // namespace kirvano
