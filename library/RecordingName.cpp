// The recorder's file-name scheme. Names are tested with a searched (not anchored)
// pattern whose dot before MOV is a wildcard; stored cards rely on that leniency, and the
// scanners reject wrong extensions themselves.
#include "library/RecordingName.h"

#include "base/FileSystem.h"
#include "ui/UiText.h"

#include <sys/stat.h>

#include <cctype>
#include <ctime>
#include <filesystem>

namespace kirvano {
namespace {

// The scheme's pattern "[APGTM_][G_][S_]-[0-9]{6}-[0-9]{6}-[0-9]{6}[FR].MOV" (the
// camera letter only F for front names), searched anywhere in the name; the dot is a
// wildcard for any character but a line end, as in an ECMAScript pattern.
constexpr std::size_t kPatternLength = 29;

bool MatchesAt(std::string_view text, std::size_t at, bool frontOnly) {
    const std::string_view w = text.substr(at, kPatternLength);
    const auto in = [](char c, std::string_view set) {
        for (const char member : set)
            if (c == member)
                return true;
        return false;
    };
    const auto digits = [&w](std::size_t from) {
        for (std::size_t i = from; i < from + 6; ++i)
            if (w[i] < '0' || w[i] > '9')
                return false;
        return true;
    };
    return in(w[0], "APGTM_") && in(w[1], "G_") && in(w[2], "S_") && w[3] == '-' && digits(4) &&
           w[10] == '-' && digits(11) && w[17] == '-' && digits(18) &&
           (w[24] == 'F' || (!frontOnly && w[24] == 'R')) && w[25] != '\n' && w[25] != '\r' &&
           w.substr(26) == "MOV";
}

bool Matches(std::string_view name, bool frontOnly) {
    if (name.size() > 3 && name[3] != '-')
        return false;
    bool found = false;
    for (std::size_t at = 0; !found && at + kPatternLength <= name.size(); ++at)
        found = MatchesAt(name, at, frontOnly);
    return found && EventTypeOf(name).has_value();
}

// Two decimal digits at position at of digits; missing or non-digit characters end the
// number early, as a decimal read of the pair would.
int TwoDigits(const std::string& digits, std::size_t at) {
    int value = 0;
    for (std::size_t i = at; i < at + 2 && i < digits.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(digits[i])))
            break;
        value = value * 10 + (digits[i] - '0');
    }
    return value;
}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
    if (at + word.size() > text.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (AsciiLower(text[at + i]) != AsciiLower(word[i]))
            return false;
    }
    return true;
}

bool HoldsCardFolders(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::exists(folder / "Normal", error) &&
           std::filesystem::exists(folder / "Parking", error);
}

} // namespace

bool IsRecordingName(std::string_view name) {
    return Matches(name, false);
}

bool IsFrontRecordingName(std::string_view name) {
    return Matches(name, true);
}

std::optional<EventType> EventTypeOf(std::string_view name) {
    if (name.size() >= 2 && name[1] == 'G')
        return EventType::ParkingImpact;
    if (name.empty())
        return std::nullopt;
    switch (name[0]) {
    case 'A':
        return EventType::Continuous;
    case 'G':
        return EventType::Impact;
    case 'M':
        return EventType::Manual;
    case 'P':
    case 'T':
        return EventType::Parking;
    default:
        return std::nullopt;
    }
}

EventTypeMask EventTypeMaskOf(std::string_view name) {
    const auto type = EventTypeOf(name);
    if (!type)
        return 0;
    switch (*type) {
    case EventType::Continuous:
        return 0x01;
    case EventType::Manual:
        return 0x02;
    case EventType::Impact:
        return 0x04;
    case EventType::Parking:
        return 0x08;
    case EventType::ParkingImpact:
        return 0x10;
    }
    return 0;
}

char TypeLetterOf(std::string_view name) {
    return EventTypeOf(name) ? name[0] : 0;
}

std::string EventTypeLabel(std::string_view name) {
    if (name.size() <= 28)
        return {};
    const auto type = EventTypeOf(name);
    if (!type)
        return {};
    switch (*type) {
    case EventType::ParkingImpact:
        return UiText(141);
    case EventType::Continuous:
        return UiText(26);
    case EventType::Impact:
        return UiText(29);
    case EventType::Manual:
        return UiText(27);
    case EventType::Parking:
        return UiText(28);
    }
    return {};
}

std::string Token(std::string_view text, char delimiter, std::size_t start) {
    if (start >= text.size())
        return {};
    const auto end = text.find(delimiter, start);
    return std::string(text.substr(start, end == std::string_view::npos ? text.npos : end - start));
}

std::string Mid(std::string_view text, std::size_t start, std::size_t count) {
    if (start >= text.size())
        return {};
    return std::string(text.substr(start, count));
}

RecordingTime RecordingTimeOf(std::string_view name) {
    const std::string date = Token(name, '-', 4);
    const std::string time = Token(name, '-', 11);
    std::tm local{};
    local.tm_year = 2000 + TwoDigits(date, 0) - 1900;
    local.tm_mon = TwoDigits(date, 2) - 1;
    local.tm_mday = TwoDigits(date, 4);
    local.tm_hour = TwoDigits(time, 0);
    local.tm_min = TwoDigits(time, 2);
    local.tm_sec = TwoDigits(time, 4);
    local.tm_isdst = -1;
    std::time_t instant = std::mktime(&local);
    if (instant == static_cast<std::time_t>(-1))
        instant = 0;
    std::tm shown{};
    if (!localtime_r(&instant, &shown))
        return {};
    return {shown.tm_year + 1900, shown.tm_mon + 1, shown.tm_mday,
            shown.tm_hour,        shown.tm_min,     shown.tm_sec};
}

std::string DisplayNameOf(std::string_view name) {
    if (IsRecordingName(name) && name.size() >= 24)
        return std::string(name.substr(0, 3)) + "-" + std::string(name.substr(11, 13));
    return Token(name, '.', 0);
}

std::string SnapshotBaseOf(std::string_view path) {
    std::string_view file = FileNameOf(path);
    file = file.substr(0, file.find('.'));
    if (file.size() <= 4)
        return {};
    const std::string_view rest = file.substr(4);
    return std::string(rest.substr(0, 14)) + rest.back();
}

std::string RearPathOf(std::string_view path) {
    std::string rear(path);
    const std::size_t length = rear.size();
    if (length >= 35) {
        const std::size_t tail = length - 35;
        if (StartsWithNoCase(rear, tail, "Front"))
            rear.replace(tail, 5, "Rear_");
        else if (StartsWithNoCase(rear, tail, "Rear_"))
            rear.replace(tail, 5, "Front");
    }
    if (length >= 5) {
        char& camera = rear[length - 5];
        if (camera == 'F')
            camera = 'R';
        else if (camera == 'R')
            camera = 'F';
    }
    return rear;
}

std::string DataPathOf(std::string_view path) {
    std::string data(path);
    const std::size_t length = data.size();
    std::optional<std::size_t> camera;
    if (length >= 35 && (StartsWithNoCase(data, length - 35, "Front") ||
                         StartsWithNoCase(data, length - 35, "Rear_"))) {
        data.replace(length - 35, 5, "Data");
        camera = length - 35 + 29;
    } else if (length >= 5) {
        camera = length - 5;
    }
    if (camera && (data[*camera] == 'F' || data[*camera] == 'R'))
        data[*camera] = 'D';
    const std::size_t nameStart = data.rfind('/') == std::string::npos ? 0 : data.rfind('/') + 1;
    const std::size_t dot = data.rfind('.');
    if (dot != std::string::npos && dot >= nameStart)
        data.erase(dot);
    data += ".ADA";
    return data;
}

bool IsRecorderCardPath(std::string_view path) {
    namespace fs = std::filesystem;
    if (path.empty())
        return false;
    std::error_code error;
    fs::path folder = fs::absolute(fs::path(std::string(path)), error).lexically_normal();
    if (error)
        return false;
    struct stat info {};
    // The nearest existing ancestor stands for a path that does not exist yet.
    while (::stat(folder.c_str(), &info) != 0) {
        if (!folder.has_relative_path())
            return false;
        folder = folder.parent_path();
    }
    if (!S_ISDIR(info.st_mode))
        folder = folder.parent_path();
    if (::stat(folder.c_str(), &info) != 0)
        return false;
    const dev_t volume = info.st_dev;
    for (;;) {
        if (HoldsCardFolders(folder))
            return true;
        if (!folder.has_relative_path())
            return false;
        const fs::path parent = folder.parent_path();
        struct stat parentInfo {};
        if (::stat(parent.c_str(), &parentInfo) != 0 || parentInfo.st_dev != volume)
            return false; // folder was the mount point
        folder = parent;
    }
}

} // namespace kirvano
