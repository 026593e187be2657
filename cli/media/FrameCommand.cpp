// kirvano-cli frame: opens a movie in a real playback engine without a window, seeks to a
// frame while paused and saves the picture the engine shows as a JPEG.
#include "base/FileSystem.h"
#include "cli/Command.h"
#include "cli/Json.h"
#include "cli/media/MediaUsage.h"
#include "playback/PlaybackEngine.h"
#include "playback/platform/GstPipeline.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kFrameCommand;
const Command kFrameCommand = {"frame", kFrameUsage, Run};
const CommandRegistration kRegistration{kFrameCommand};

namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Saves the engine's picture under a temporary name beside output and renames it to
// output when complete; without force an output that appeared meanwhile is kept. Empty
// on success, else the reason.
std::string SavePicture(PlaybackEngine& engine, const std::string& output, bool force) {
    std::string temporary = FolderOf(output) + "/." + std::string(FileNameOf(output)) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return std::string("cannot write the picture: ") + std::strerror(errno);
    ::close(fd);
    if (!engine.SaveSnapshot(temporary)) {
        ::unlink(temporary.c_str());
        return "cannot write the picture";
    }
    const int error = force ? (::rename(temporary.c_str(), output.c_str()) == 0 ? 0 : errno)
                            : RenameNoReplace(temporary, output);
    if (error != 0) {
        ::unlink(temporary.c_str());
        return error == EEXIST ? "exists; --force replaces it"
                               : std::string("cannot write the picture: ") + std::strerror(error);
    }
    SyncFolder(FolderOf(output));
    return {};
}

int Run(std::span<const std::string> args) {
    std::vector<std::string> words;
    bool force = false;
    for (const std::string& arg : args) {
        if (arg == "--force")
            force = true;
        else if (arg.starts_with("--"))
            return UsageError(kFrameCommand, "unknown option " + arg);
        else
            words.push_back(arg);
    }
    if (words.size() != 3)
        return UsageError(kFrameCommand, "MOVIE, N and OUT.jpg are needed");
    const std::string& movie = words[0];
    const std::string& number = words[1];
    const std::string& output = words[2];
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
    if (!force && Exists(output)) {
        ReportProblem(output, "exists; --force replaces it");
        return answer(kInputFailed);
    }
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
    if (const std::string problem = SavePicture(engine, output, force); !problem.empty()) {
        ReportProblem(output, problem);
        return answer(kInputFailed);
    }
    engine.Close();
    return answer(kDone);
}

} // namespace
} // namespace kirvano::cli
