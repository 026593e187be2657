// kirvano-cli frame: opens a movie in a real playback engine without a window, seeks to a
// frame while paused and saves the picture the engine shows as a JPEG.
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/media/MediaUsage.h"
#include "playback/PlaybackEngine.h"
#include "playback/platform/GstPipeline.h"

#include <charconv>
#include <optional>

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kFrameCommand;
const Command kFrameCommand = {"frame", kFrameUsage, Run};
const CommandRegistration kRegistration{kFrameCommand};

namespace {

int Run(std::span<const std::string> args) {
    if (args.size() != 3)
        return UsageError(kFrameCommand, "MOVIE, N and OUT.jpg are needed");
    const std::string& movie = args[0];
    const std::string& number = args[1];
    const std::string& output = args[2];
    long long frame = -1;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), frame);
    if (ec != std::errc() || end != number.data() + number.size() || frame < 0)
        return UsageError(kFrameCommand, "N must be a frame number (0 or more)");

    // One document whatever happens: what could not be learned is null.
    std::optional<std::int64_t> position;
    std::optional<VideoSize> size;
    const auto answer = [&](int status) {
        JsonWriter json;
        json.beginObject();
        json.key("frame").value(static_cast<std::int64_t>(frame));
        json.key("position").value(position);
        json.key("width");
        size ? json.value(size->width) : json.null();
        json.key("height");
        size ? json.value(size->height) : json.null();
        json.endObject();
        PrintJson(json.text());
        return status;
    };
    PlaybackEngine engine(0, GstPipelineFactory());
    engine.Init(nullptr, "メイリオ");
    if (!engine.Open(movie)) {
        ReportProblem(movie, engine.lastError().empty() ? "cannot be played" : engine.lastError());
        return answer(kInputFailed);
    }
    size = engine.GetVideoSize();
    const std::int64_t count = engine.GetFrameCount();
    if (frame >= count) {
        ReportProblem(movie, "frame " + number + " is past the last frame (" +
                                 std::to_string(count - 1) + ")");
        return answer(kInputFailed);
    }
    if (!engine.SetPosition(frame)) {
        ReportProblem(movie, "the seek to frame " + number + " failed");
        return answer(kInputFailed);
    }
    position = engine.GetPosition();
    if (!engine.SaveSnapshot(output)) {
        ReportProblem(output, "cannot write the picture");
        return answer(kInputFailed);
    }
    engine.Close();
    return answer(kDone);
}

} // namespace
} // namespace kirvano::cli
