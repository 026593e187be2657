// Whether a further recording fits the joined movie. Sample descriptions are compared
// without the fields an encoder fills per file.
#include "container/JoinMovieParts.h"

#include <algorithm>
#include <optional>

namespace kirvano {
namespace {

// A sample description with the advisory fields of an MPEG-4 elementary stream
// descriptor and of a bit rate box (buffer size, maximum and average bit rate) cleared:
// encoders fill them per file, and they do not change how a stream decodes.
std::vector<std::uint8_t> ComparableDescription(std::vector<std::uint8_t> d) {
    const ByteRange all(d.data(), d.size());
    auto length = [&](std::size_t& at) -> std::optional<std::uint32_t> {
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i) {
            const auto b = all.u8(at++);
            if (!b)
                return std::nullopt;
            n = (n << 7) | (*b & 0x7f);
            if (!(*b & 0x80))
                return n;
        }
        return n;
    };
    for (std::size_t p = 0; p + 4 <= d.size(); ++p) {
        // The bit rate box of a visual entry: buffer size, maximum and average bit rate.
        if (all.fourcc(p) == std::optional<std::string_view>("btrt") && all.has(p + 4, 12)) {
            std::fill(d.begin() + static_cast<std::ptrdiff_t>(p + 4),
                      d.begin() + static_cast<std::ptrdiff_t>(p + 16), 0);
            continue;
        }
        if (all.fourcc(p) != std::optional<std::string_view>("esds"))
            continue;
        std::size_t at = p + 8; // type, version and flags
        if (all.u8(at) != 3)
            continue;
        ++at;
        if (!length(at))
            continue;
        const auto flags = all.u8(at + 2);
        if (!flags)
            continue;
        at += 3;
        if (*flags & 0x80)
            at += 2;
        if (*flags & 0x40) {
            const auto urlLength = all.u8(at);
            if (!urlLength)
                continue;
            at += 1 + *urlLength;
        }
        if (*flags & 0x20)
            at += 2;
        if (all.u8(at) != 4)
            continue;
        ++at;
        if (!length(at))
            continue;
        at += 2; // object type and stream type
        if (all.has(at, 11))
            std::fill(d.begin() + static_cast<std::ptrdiff_t>(at),
                      d.begin() + static_cast<std::ptrdiff_t>(at + 11), 0);
    }
    return d;
}

} // namespace

Status CheckCompatible(const MovieFacts& a, const MovieFacts& b) {
    if (a.movieTimescale != b.movieTimescale)
        return Failure("the recordings have different movie time scales");
    if (a.tracks.size() != b.tracks.size())
        return Failure("the recordings have different track layouts (" +
                       std::to_string(a.tracks.size()) + " and " + std::to_string(b.tracks.size()) +
                       " tracks)");
    if (a.media.size() != b.media.size())
        return Failure("the recordings have different numbers of media data boxes");
    if (a.hasTelemetryBox != b.hasTelemetryBox)
        return Failure("only some of the recordings carry a telemetry box");
    for (std::size_t i = 0; i < a.tracks.size(); ++i) {
        const TrackFacts& x = a.tracks[i];
        const TrackFacts& y = b.tracks[i];
        const std::string where = TrackName(i);
        if (x.handler != y.handler)
            return Failure(where + " is of kind " + x.handler + " in one recording and " +
                           y.handler + " in another");
        if (x.groupDescription != y.groupDescription)
            return Failure(where + ": the recordings' sample group descriptions differ");
        if (ComparableDescription(x.sampleDescription) !=
            ComparableDescription(y.sampleDescription))
            return Failure(where + ": the recordings' codec parameters differ");
        if (x.mediaTimescale != y.mediaTimescale)
            return Failure(where + ": the recordings have different media time scales");
        if (x.width != y.width || x.height != y.height)
            return Failure(where + ": the recordings have different picture sizes");
        if (x.handler == "vide" && !x.tables.timeToSample.empty() &&
            !y.tables.timeToSample.empty() &&
            x.tables.timeToSample.front().delta != y.tables.timeToSample.front().delta)
            return Failure(where + ": the recordings have different frame rates");
        if (x.edit.has_value() != y.edit.has_value() ||
            (x.edit && (x.edit->mediaTime != y.edit->mediaTime)))
            return Failure(where + ": the recordings' edit lists differ");
    }
    return Success();
}

} // namespace kirvano
