// kirvano-cli name: the recording-name functions on each argument; nothing is opened.
#include "base/FileSystem.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "library/RecordingName.h"
#include "ui/UiText.h"

#include <cstdio>

namespace kirvano::cli {
namespace {

const char* EventTypeName(EventType type) {
    switch (type) {
    case EventType::Continuous:
        return "Continuous";
    case EventType::Impact:
        return "Impact";
    case EventType::Manual:
        return "Manual";
    case EventType::Parking:
        return "Parking";
    case EventType::ParkingImpact:
        return "ParkingImpact";
    }
    return "";
}

std::string TimeText(const RecordingTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

int Run(std::span<const std::string> args);

} // namespace

extern const Command kNameCommand;
const Command kNameCommand = {"name", "kirvano-cli name PATH...", Run};
const CommandRegistration kRegistration{kNameCommand};

namespace {

int Run(std::span<const std::string> args) {
    std::string problem;
    const auto paths = PathOperands(args, problem);
    if (!paths)
        return UsageError(kNameCommand, problem);
    if (paths->empty())
        return UsageError(kNameCommand, "no path given");
    SelectUiTextColumn(UiTextColumnFromEnvironment());
    JsonWriter json;
    json.beginArray();
    for (const std::string& path : *paths) {
        const std::string name(FileNameOf(path));
        json.beginObject();
        json.key("path").value(path);
        json.key("name").value(name);
        json.key("is_recording").value(IsRecordingName(name));
        json.key("is_front").value(IsFrontRecordingName(name));
        json.key("event_type");
        if (const auto type = EventTypeOf(name))
            json.value(EventTypeName(*type));
        else
            json.null();
        json.key("event_mask").value(static_cast<int>(EventTypeMaskOf(name)));
        json.key("type_letter");
        if (const char letter = TypeLetterOf(name))
            json.value(std::string(1, letter));
        else
            json.null();
        json.key("label").value(EventTypeLabel(name));
        json.key("display_name").value(DisplayNameOf(name));
        json.key("snapshot_base").value(SnapshotBaseOf(path));
        json.key("time").value(TimeText(RecordingTimeOf(name)));
        json.key("rear_path").value(RearPathOf(path));
        json.key("data_path").value(DataPathOf(path));
        json.endObject();
    }
    json.endArray();
    PrintJson(json.text());
    return kDone;
}

} // namespace
} // namespace kirvano::cli
