// Starting a joined movie and putting further recordings behind it: their chunks placed
// in the media chains, their sample tables, durations and telemetry records appended.
#include "container/JoinMovie.h"
#include "container/JoinMovieParts.h"

namespace kirvano {
namespace {

// Places every chunk of t into the output media chains: the chunk must lie inside one
// of the movie's media boxes; base[j] is where that box's bytes start in output box j.
Status PlaceChunks(TrackFacts& track, const std::vector<MediaBox>& media,
                   const std::vector<std::uint64_t>& base, const std::string& where) {
    auto& t = track.tables;
    t.chunks.clear();
    t.chunks.reserve(t.chunkOffsets.size());
    for (std::size_t c = 0; c < t.chunkOffsets.size(); ++c) {
        const std::uint64_t at = t.chunkOffsets[c];
        const std::uint64_t length = track.chunkLengths[c];
        bool placed = false;
        for (std::size_t j = 0; j < media.size() && !placed; ++j) {
            const MediaBox& m = media[j];
            if (at >= m.payloadOffset && length <= m.payloadSize &&
                at - m.payloadOffset <= m.payloadSize - length) {
                t.chunks.push_back({static_cast<std::uint32_t>(j), base[j] + at - m.payloadOffset});
                placed = true;
            }
        }
        if (!placed)
            return Failure(where + ": chunk " + std::to_string(c + 1) +
                           " lies outside the media data");
    }
    return Success();
}

} // namespace

Result<JoinedMovie> JoinedMovie::Start(JoinInput first) {
    auto facts = AnalyseMovie(first);
    if (!facts)
        return Error{facts.error()};
    JoinedMovie movie;
    movie.facts_ = std::move(facts.value());
    const std::vector<std::uint64_t> base(movie.facts_.media.size(), 0);
    for (std::size_t i = 0; i < movie.facts_.tracks.size(); ++i)
        if (Status s = PlaceChunks(movie.facts_.tracks[i], movie.facts_.media, base, TrackName(i));
            !s)
            return Error{s.error()};
    for (const MediaBox& m : movie.facts_.media) {
        movie.media_.push_back({{0, m.payloadOffset, m.payloadSize}});
        movie.mediaLength_.push_back(m.payloadSize);
    }
    movie.first_ = std::move(first);
    return movie;
}

Status JoinedMovie::Append(JoinInput next) {
    auto analysed = AnalyseMovie(next);
    if (!analysed)
        return Status(Error{analysed.error()});
    MovieFacts& b = analysed.value();
    if (Status s = CheckCompatible(facts_, b); !s)
        return s;
    for (std::size_t i = 0; i < b.tracks.size(); ++i)
        if (Status s = PlaceChunks(b.tracks[i], b.media, mediaLength_, TrackName(i)); !s)
            return s;

    MovieFacts merged = facts_; // changed only when everything succeeded
    merged.movieDuration += b.movieDuration;
    for (std::size_t i = 0; i < b.tracks.size(); ++i) {
        TrackFacts& x = merged.tracks[i];
        const TrackFacts& y = b.tracks[i];
        if (Status s = AppendTables(x.tables, y.tables); !s)
            return Failure(TrackName(i) + ": " + s.error());
        x.mediaDuration += y.mediaDuration;
        x.trackDuration += y.trackDuration;
        if (x.edit)
            x.edit->duration += y.edit->duration;
    }
    if (merged.telemetry && b.telemetry)
        AppendRecords(*merged.telemetry, *b.telemetry);

    const int source = static_cast<int>(1 + appended_.size());
    for (std::size_t j = 0; j < b.media.size(); ++j) {
        media_[j].push_back({source, b.media[j].payloadOffset, b.media[j].payloadSize});
        mediaLength_[j] += b.media[j].payloadSize;
    }
    facts_ = std::move(merged);
    appended_.push_back(std::move(next));
    return Success();
}

std::vector<std::string> JoinedMovie::sourcePaths() const {
    std::vector<std::string> paths{first_.path};
    for (const auto& a : appended_)
        paths.push_back(a.path);
    return paths;
}

std::vector<std::uint64_t> JoinedMovie::sourceSizes() const {
    std::vector<std::uint64_t> sizes{first_.fileSize};
    for (const auto& a : appended_)
        sizes.push_back(a.fileSize);
    return sizes;
}

} // namespace kirvano
