// Reading a movie's tree for a join: the movie and media headers, each track's sample
// tables and edit, the media boxes and the movie's own telemetry block.
#include "container/JoinMovie.h"
#include "container/JoinMovieParts.h"

namespace kirvano {
namespace {

// The loaded child of that type, or a reason.
Result<const JoinBox*> Need(const JoinBox& parent, const char* type, const std::string& where) {
    const JoinBox* box = parent.child(type);
    if (!box || (!box->loaded && !box->opened))
        return Failure(where + " has no " + type + " box");
    return box;
}

// Version-0/1 header fields: the time scale and the duration of mvhd and mdhd.
Status ReadScaleAndDuration(const JoinBox& box, std::uint32_t& scale, std::uint64_t& duration) {
    const ByteRange p = Payload(box);
    const auto version = p.u8(0);
    if (version == 0 && p.has(0, 20)) {
        scale = *p.be32(12);
        duration = *p.be32(16);
        return Success();
    }
    if (version == 1 && p.has(0, 32)) {
        scale = *p.be32(20);
        duration = *p.be64(24);
        return Success();
    }
    return Failure("the " + box.type + " box has an unknown layout");
}

Status ReadSampleTable(const JoinBox& stbl, TrackFacts& track, const std::string& where) {
    SampleTables& t = track.tables;
    bool haveTimes = false, haveChunks = false, haveSizes = false, haveOffsets = false;
    for (const JoinBox& b : stbl.children) {
        const ByteRange p = Payload(b);
        if (b.type == "stsd") {
            track.sampleDescription = b.payload;
        } else if (b.type == "stts") {
            auto r = ParseTimeToSample(p);
            if (!r)
                return Failure(where + ": " + r.error());
            t.timeToSample = std::move(r.value());
            haveTimes = true;
        } else if (b.type == "ctts") {
            std::uint8_t version = 0;
            auto r = ParseComposition(p, &version);
            if (!r)
                return Failure(where + ": " + r.error());
            t.composition = std::move(r.value());
            t.compositionVersion = version;
        } else if (b.type == "stsc") {
            auto r = ParseSampleToChunk(p);
            if (!r)
                return Failure(where + ": " + r.error());
            t.sampleToChunk = std::move(r.value());
            haveChunks = true;
        } else if (b.type == "stsz") {
            if (Status s = ParseSampleSizes(p, t); !s)
                return Failure(where + ": " + s.error());
            haveSizes = true;
        } else if (b.type == "stss") {
            auto r = ParseSyncSamples(p);
            if (!r)
                return Failure(where + ": " + r.error());
            t.syncSamples = std::move(r.value());
        } else if (b.type == "stco" || b.type == "co64") {
            if (haveOffsets)
                return Failure(where + " has two chunk offset tables");
            auto r = ParseChunkOffsets(p, b.type == "co64");
            if (!r)
                return Failure(where + ": " + r.error());
            t.chunkOffsets = std::move(r.value());
            haveOffsets = true;
        } else if (b.type == "sdtp") {
            if (p.size() < 4)
                return Failure(where + ": sdtp box is too short");
            t.dependencies.emplace(b.payload.begin() + 4, b.payload.end());
        } else if (b.type == "sgpd") {
            if (!track.groupDescription.empty())
                return Failure(where + " has several sample group descriptions");
            track.groupDescription = b.payload;
        } else if (b.type == "sbgp") {
            if (t.groups)
                return Failure(where + " has several sample group tables");
            auto r = ParseSampleGroups(p);
            if (!r)
                return Failure(where + ": " + r.error());
            t.groups = std::move(r.value());
        } else if (b.type == "cslg") {
            // Advisory composition limits: left out of the joined movie.
        } else {
            return Failure(where + " holds a " + b.type + " box, which cannot be joined");
        }
    }
    if (track.sampleDescription.empty() || !haveTimes || !haveChunks || !haveSizes || !haveOffsets)
        return Failure(where + " lacks one of the sample tables stsd, stts, stsc, stsz, stco");
    auto lengths = ChunkLengths(t);
    if (!lengths)
        return Failure(where + ": " + lengths.error());
    track.chunkLengths = std::move(lengths.value());
    return Success();
}

Result<TrackFacts> ReadTrack(const JoinBox& trak, const std::string& where) {
    TrackFacts track;
    auto tkhd = Need(trak, "tkhd", where);
    auto mdia = Need(trak, "mdia", where);
    if (!tkhd || !mdia)
        return Error{!tkhd ? tkhd.error() : mdia.error()};
    const ByteRange th = Payload(*tkhd.value());
    if (th.u8(0) == 0 && th.has(0, 84)) {
        track.trackDuration = *th.be32(20);
    } else if (th.u8(0) == 1 && th.has(0, 96)) {
        track.trackDuration = *th.be64(28);
    } else {
        return Failure(where + ": the tkhd box has an unknown layout");
    }
    track.width = *th.be32(th.size() - 8);
    track.height = *th.be32(th.size() - 4);

    if (const JoinBox* edts = trak.child("edts")) {
        const JoinBox* elst = edts->child("elst");
        if (!elst || !elst->loaded)
            return Failure(where + ": an edit box without an edit list");
        const ByteRange e = Payload(*elst);
        const auto count = e.be32(4);
        const auto version = e.u8(0);
        if (!count || *count != 1)
            return Failure(where + " has an edit list of several edits, which cannot be joined");
        EditFacts edit;
        edit.version = *version;
        if (*version == 0 && e.has(8, 12)) {
            edit.duration = *e.be32(8);
            edit.mediaTime = static_cast<std::int32_t>(*e.be32(12));
            if (*e.be32(16) != 0x00010000)
                return Failure(where + " plays its edit at a rate other than 1");
        } else if (*version == 1 && e.has(8, 20)) {
            edit.duration = *e.be64(8);
            edit.mediaTime = static_cast<std::int64_t>(*e.be64(16));
            if (*e.be32(24) != 0x00010000)
                return Failure(where + " plays its edit at a rate other than 1");
        } else {
            return Failure(where + ": the edit list has an unknown layout");
        }
        if (edit.mediaTime < 0)
            return Failure(where + " starts with an empty edit, which cannot be joined");
        track.edit = edit;
    }

    const JoinBox& media = *mdia.value();
    auto mdhd = Need(media, "mdhd", where);
    auto hdlr = Need(media, "hdlr", where);
    auto minf = Need(media, "minf", where);
    if (!mdhd || !hdlr || !minf)
        return Error{!mdhd ? mdhd.error() : !hdlr ? hdlr.error() : minf.error()};
    if (Status s = ReadScaleAndDuration(*mdhd.value(), track.mediaTimescale, track.mediaDuration);
        !s)
        return Failure(where + ": " + s.error());
    const auto handler = Payload(*hdlr.value()).fourcc(8);
    if (!handler)
        return Failure(where + ": the hdlr box is too short");
    track.handler = std::string(*handler);
    auto stbl = Need(*minf.value(), "stbl", where);
    if (!stbl)
        return Error{stbl.error()};
    if (Status s = ReadSampleTable(*stbl.value(), track, where); !s)
        return Error{s.error()};
    return track;
}

} // namespace

Result<MovieFacts> AnalyseMovie(const JoinInput& input) {
    MovieFacts facts;
    const JoinBox* moov = nullptr;
    for (const JoinBox& b : input.boxes) {
        if (b.type == "moov") {
            if (moov)
                return Failure("the movie has two movie boxes");
            moov = &b;
        } else if (b.type == "mdat") {
            facts.media.push_back({b.payloadOffset(), b.payloadSize});
        } else if (b.type == "udat") {
            facts.hasTelemetryBox = true;
            if (b.loaded) {
                auto block = TakeTelemetryRecords(Payload(b));
                if (block)
                    facts.telemetry = std::move(block.value());
            }
        } else if (b.type == "moof" || b.type == "mfra") {
            return Failure("fragmented movies cannot be joined");
        }
    }
    if (!moov)
        return Failure("no movie box (the file may be cut off)");
    if (facts.media.empty())
        return Failure("no media data box");
    auto mvhd = Need(*moov, "mvhd", "the movie");
    if (!mvhd)
        return Error{mvhd.error()};
    if (Status s = ReadScaleAndDuration(*mvhd.value(), facts.movieTimescale, facts.movieDuration);
        !s)
        return Error{s.error()};
    for (const JoinBox& b : moov->children) {
        if (b.type != "trak")
            continue;
        if (!b.opened)
            return Failure(TrackName(facts.tracks.size()) + " cannot be read");
        auto track = ReadTrack(b, TrackName(facts.tracks.size()));
        if (!track)
            return Error{track.error()};
        facts.tracks.push_back(std::move(track.value()));
    }
    if (facts.tracks.empty())
        return Failure("the movie has no tracks");
    return facts;
}

} // namespace kirvano
