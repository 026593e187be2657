// kirvano-cli frame: opens a movie in a real playback engine without a window, seeks to a
// frame while paused and saves the picture the engine shows as a JPEG.
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/media/MediaUsage.h"
#include "playback/PlaybackEngine.h"
#include "playback/platform/GstPipeline.h"

#include <charconv>

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

    PlaybackEngine engine(0, GstPipelineFactory());
    engine.Init(nullptr, "メイリオ");
    if (!engine.Open(movie)) {
        ReportProblem(movie, engine.lastError().empty() ? "cannot be played" : engine.lastError());
        return kInputFailed;
    }
    const std::int64_t count = engine.GetFrameCount();
    if (frame >= count) {
        ReportProblem(movie, "frame " + number + " is past the last frame (" +
                                 std::to_string(count - 1) + ")");
        return kInputFailed;
    }
    if (!engine.SetPosition(frame)) {
        ReportProblem(movie, "the seek to frame " + number + " failed");
        return kInputFailed;
    }
    const std::int64_t position = engine.GetPosition();
    if (!engine.SaveSnapshot(output)) {
        ReportProblem(output, "cannot write the picture");
        return kInputFailed;
    }
    const VideoSize size = engine.GetVideoSize();
    engine.Close();

    JsonWriter json;
    json.beginObject();
    json.key("frame").value(static_cast<std::int64_t>(frame));
    json.key("position").value(position);
    json.key("width").value(size.width);
    json.key("height").value(size.height);
    json.endObject();
    PrintJson(json.text());
    return kDone;
}

} // namespace
} // namespace kirvano::cli
