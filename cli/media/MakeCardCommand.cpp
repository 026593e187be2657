// kirvano-cli make-card: writes a recorder card of generated recordings (movies of both
// cameras with their telemetry) for tests and the demo.
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/media/MediaUsage.h"
#include "generator/CardPlan.h"
#include "generator/CardTelemetry.h"
#include "generator/CardWriter.h"
#include "generator/MovieWriter.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kMakeCardCommand;
const Command kMakeCardCommand = {"make-card", kMakeCardUsage, Run};
const CommandRegistration kRegistration{kMakeCardCommand};

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) {
    gInterrupted.store(true);
}

bool ParseNumber(const std::string& text, long long low, long long high, long long& out) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && out >= low && out <= high;
}

const char* EventName(RecordingEvent event) {
    switch (event) {
    case RecordingEvent::Impact:
        return "Impact";
    case RecordingEvent::Manual:
        return "Manual";
    case RecordingEvent::ParkingImpact:
        return "ParkingImpact";
    case RecordingEvent::None:
        break;
    }
    return nullptr;
}

std::string TimeText(const PlanTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

void WriteFormat(JsonWriter& json, const CameraFormat& f) {
    json.beginObject();
    json.key("width").value(f.width);
    json.key("height").value(f.height);
    json.key("frame_rate").value(static_cast<double>(f.rateNumerator) / f.rateDenominator);
    json.endObject();
}

class ProgressBar {
public:
    explicit ProgressBar(bool shown) : shown_(shown), start_(std::chrono::steady_clock::now()) {}
    void show(double done) {
        if (!shown_) {
            return;
        }
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        const int width = 30;
        const int filled = static_cast<int>(done * width);
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(width - filled), '-');
        char eta[32] = "";
        if (done > 0.02 && done < 1.0) {
            const int left = static_cast<int>(elapsed / done * (1.0 - done));
            std::snprintf(eta, sizeof eta, "  %d:%02d left", left / 60, left % 60);
        }
        std::fprintf(stderr, "\rmaking card [%s] %3d%%%s   ", bar.c_str(),
                     static_cast<int>(done * 100), eta);
        std::fflush(stderr);
    }
    void finish() {
        if (shown_) {
            std::fprintf(stderr, "\n");
        }
    }

private:
    bool shown_;
    std::chrono::steady_clock::time_point start_;
};

int Run(std::span<const std::string> args) {
    CardOptions options;
    std::string root;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto needValue = [&]() -> const std::string* {
            return i + 1 < args.size() ? &args[++i] : nullptr;
        };
        long long number = 0;
        if (arg == "--no-audio") {
            options.audio = false;
        } else if (arg == "--recordings" || arg == "--parking" || arg == "--seconds" ||
                   arg == "--seed" || arg == "--timelapse-rate") {
            const std::string* value = needValue();
            const long long high = arg == "--seed" ? 0xFFFFFFFFll : 100000;
            if (!value || !ParseNumber(*value, 0, high, number)) {
                return UsageError(kMakeCardCommand, arg + " needs a whole number");
            }
            if (arg == "--recordings") {
                options.recordings = static_cast<int>(number);
            } else if (arg == "--parking") {
                options.parking = static_cast<int>(number);
            } else if (arg == "--seconds") {
                options.seconds = static_cast<int>(number);
            } else if (arg == "--seed") {
                options.seed = static_cast<std::uint32_t>(number);
            } else {
                options.timelapseRate = static_cast<int>(number);
            }
        } else if (arg == "--front" || arg == "--rear") {
            const std::string* value = needValue();
            if (!value) {
                return UsageError(kMakeCardCommand, arg + " needs WIDTHxHEIGHT@FPS");
            }
            const auto format = ParseCameraFormat(*value);
            if (!format) {
                return UsageError(kMakeCardCommand, arg + ": " + format.error());
            }
            (arg == "--front" ? options.front : options.rear) = format.value();
        } else if (arg == "--layout") {
            const std::string* value = needValue();
            if (value && *value == "flat") {
                options.layout = CardLayout::Flat;
            } else if (value && *value == "camera-folders") {
                options.layout = CardLayout::CameraFolders;
            } else {
                return UsageError(kMakeCardCommand, "--layout is camera-folders or flat");
            }
        } else if (arg == "--firmware") {
            const std::string* value = needValue();
            const auto version =
                value ? ParseFirmwareVersion(*value) : Result<FirmwareVersion>(Failure("missing"));
            if (!version) {
                return UsageError(kMakeCardCommand, "--firmware: " + version.error());
            }
            options.firmware = version.value();
        } else if (!arg.empty() && arg[0] == '-') {
            return UsageError(kMakeCardCommand, "unknown option " + arg);
        } else if (root.empty()) {
            root = arg;
        } else {
            return UsageError(kMakeCardCommand, "only one folder can be given");
        }
    }
    if (root.empty()) {
        return UsageError(kMakeCardCommand, "no folder given");
    }
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    const auto plan = PlanCard(options);
    if (!plan) {
        return UsageError(kMakeCardCommand, plan.error());
    }

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previousInt {};
    struct sigaction previousTerm {};
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);

    ProgressBar bar(isatty(STDERR_FILENO) == 1);
    CardWriteOptions writeOptions;
    writeOptions.progress = [&bar](double done) { bar.show(done); };
    const auto written = WriteCard(root, plan.value(), gInterrupted, writeOptions);
    bar.finish();
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);

    JsonWriter json;
    json.beginObject();
    json.key("root").value(root);
    json.key("layout").value(options.layout == CardLayout::Flat ? "flat" : "camera-folders");
    json.key("seed").value(options.seed);
    json.key("seconds").value(options.seconds);
    json.key("front");
    WriteFormat(json, options.front);
    json.key("rear");
    WriteFormat(json, options.rear);
    json.key("written");
    written ? json.value(written->written) : json.null();
    json.key("kept");
    written ? json.value(written->kept) : json.null();
    json.key("recordings").beginArray();
    for (const PlannedRecording& r : plan->recordings) {
        json.beginObject();
        json.key("name").value(r.stem + "F.MOV");
        json.key("front").value(FrontPathOf(root, plan.value(), r));
        json.key("rear").value(RearMoviePathOf(root, plan.value(), r));
        json.key("data").value(DataFilePathOf(root, plan.value(), r));
        json.key("folder").value(r.folder);
        json.key("group").value(r.group);
        json.key("time").value(TimeText(r.start));
        json.key("event");
        if (const char* event = EventName(r.event)) {
            json.value(event);
        } else {
            json.null();
        }
        json.key("event_at_s");
        r.eventAt >= 0 ? json.value(r.eventAt) : json.null();
        json.key("frames_front").value(FrameCountOf(options.front, options.seconds));
        json.key("frames_rear").value(FrameCountOf(options.rear, options.seconds));
        json.key("records_per_second").value(r.recordsPerSecond);
        json.key("records").value(options.seconds * r.recordsPerSecond);
        json.endObject();
    }
    json.endArray();
    json.endObject();
    PrintJson(json.text());
    if (!written) {
        ReportProblem(root, written.error());
        return kInputFailed;
    }
    return kDone;
}

} // namespace
} // namespace kirvano::cli
