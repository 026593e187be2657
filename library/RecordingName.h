// The recorder's file-name scheme: tests, classification and the parts of a recording
// name, and the paths of a recording's companion files. Nothing here opens a file
// except the card test.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kirvano {

// The letter in lower case when it is an ASCII capital; any other byte as it is (the
// name rules compare without case in ASCII only, whatever the locale).
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The trigger of a recording, from the first two letters of its name.
enum class EventType : int {
    Continuous = 0,
    Impact = 1,
    Manual = 2,
    Parking = 3,
    ParkingImpact = 4
};

using EventTypeMask = std::uint8_t;

// A recording name of either camera with a known event type.
bool IsRecordingName(std::string_view name);
// The same, front camera only.
bool IsFrontRecordingName(std::string_view name);

// By positions 0 and 1 of the name, without the pattern test.
std::optional<EventType> EventTypeOf(std::string_view name);
// The mask bit of the event type (0x01 Continuous, 0x02 Manual, 0x04 Impact, 0x08
// Parking, 0x10 ParkingImpact), 0 when none.
EventTypeMask EventTypeMaskOf(std::string_view name);
// The trigger letter kept in a recording record; 0 when the name has no event type.
char TypeLetterOf(std::string_view name);
// The event type's text in the current language; empty for names of 28 bytes or fewer.
std::string EventTypeLabel(std::string_view name);

// The text from start up to, not including, the first delimiter at or after start.
std::string Token(std::string_view text, char delimiter, std::size_t start);
// count bytes from start (fewer at the end of the text).
std::string Mid(std::string_view text, std::size_t start, std::size_t count);

struct RecordingTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The local date-time the recorder's clock showed when the recording started
// (normalised as mktime does; the epoch when the name's fields do not convert).
RecordingTime RecordingTimeOf(std::string_view name);

// The text shown in the recording list: AGS-123456-000123 for AGS-220801-123456-000123F.MOV.
std::string DisplayNameOf(std::string_view name);
// 220801-123456-F for a path ending in AGS-220801-123456-000123F.MOV.
std::string SnapshotBaseOf(std::string_view path);

// The rear movie of a front path (and the front movie of a rear path).
std::string RearPathOf(std::string_view path);
// The telemetry data file of a front or rear movie path.
std::string DataPathOf(std::string_view path);

// True when the path lies on a recorder card: the volume's mount point, or a folder
// between it and the path, holds both "Normal" and "Parking".
bool IsRecorderCardPath(std::string_view path);

} // namespace kirvano
