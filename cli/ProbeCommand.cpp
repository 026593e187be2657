// kirvano-cli probe: the movie test, the movie timing, the parsed movie's accessors and the
// top-level boxes of each movie. A file that is not a movie is an answer; a file that
// cannot be opened is a problem and is left out of the list.
#include "cli/Command.h"
#include "cli/Json.h"
#include "container/MappedFile.h"
#include "container/MovieFile.h"
#include "container/Scanners.h"

#include <array>

namespace kirvano::cli {
namespace {

int Run(std::span<const std::string> args);

} // namespace

extern const Command kProbeCommand;
const Command kProbeCommand = {"probe", "kirvano-cli probe MOVIE...", Run};
const CommandRegistration kRegistration{kProbeCommand};

namespace {

// The top-level box headers, as far as they can be walked: a size below 8 or a box that
// runs past the end of the file ends the list.
void WriteTopLevel(JsonWriter& json, MappedFile& file) {
    json.beginArray();
    std::uint64_t offset = 0;
    std::array<std::uint8_t, 8> head{};
    while (file.size() - offset >= head.size() && file.ReadAt(offset, head)) {
        const ByteRange bytes(head.data(), head.size());
        const std::uint32_t size = *bytes.be32(0);
        if (size < head.size() || size > file.size() - offset)
            break;
        json.beginObject();
        json.key("type").value(*bytes.fourcc(4));
        json.key("offset").value(offset);
        json.key("size").value(size);
        json.endObject();
        offset += size;
    }
    json.endArray();
}

void WriteMovie(JsonWriter& json, const std::string& path, MappedFile& file) {
    const bool movie = IsMovieFile(path);
    json.beginObject();
    json.key("path").value(path);
    json.key("movie").value(movie);

    std::optional<MovieTiming> timing;
    if (movie) {
        MappedFile reader;
        if (auto read = ReadMovieTiming(reader, path))
            timing = read.value();
    }
    json.key("duration_s");
    timing ? json.value(timing->duration_s) : json.null();
    json.key("frame_duration_ms");
    timing ? json.value(timing->frame_duration_ms) : json.null();

    std::int64_t frame_count = -1;
    float frame_rate = -1.0f;
    FrameSize size;
    if (movie) {
        if (auto parsed = ParseMovie(path, true)) {
            frame_count = FrameCount(parsed.value());
            frame_rate = FrameRate(parsed.value());
            size = VideoSize(parsed.value());
        }
    }
    json.key("frame_count").value(frame_count);
    json.key("frame_rate").value(frame_rate);
    json.key("width").value(size.width);
    json.key("height").value(size.height);
    json.key("top_level");
    WriteTopLevel(json, file);
    json.endObject();
}

int Run(std::span<const std::string> args) {
    std::string problem;
    const auto paths = PathOperands(args, problem);
    if (!paths)
        return UsageError(kProbeCommand, problem);
    if (paths->empty())
        return UsageError(kProbeCommand, "no movie given");
    int status = kDone;
    JsonWriter json;
    json.beginArray();
    for (const std::string& path : *paths) {
        MappedFile file;
        if (Status opened = file.Open(path); !opened) {
            ReportProblem(path, opened.error());
            status = kInputFailed;
            continue;
        }
        WriteMovie(json, path, file);
    }
    json.endArray();
    PrintJson(json.text());
    return status;
}

} // namespace
} // namespace kirvano::cli
