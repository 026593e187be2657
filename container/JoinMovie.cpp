#include "container/JoinMovie.h"

#include "base/ByteRange.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace kirvano {
namespace {

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

std::string TrackName(std::size_t i) {
    return "track " + std::to_string(i + 1);
}

ByteRange Payload(const JoinBox& box) {
    return ByteRange(box.payload.data(), box.payload.size());
}

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

Status PatchDuration(std::vector<std::uint8_t>& payload, std::size_t at32, std::size_t at64,
                     std::uint64_t value, const std::string& what) {
    if (payload.empty())
        return Failure("empty " + what);
    if (payload[0] == 0) {
        if (value > kMax32)
            return Failure("the joined " + what + " duration does not fit in its 32-bit field");
        if (payload.size() < at32 + 4)
            return Failure("short " + what);
        PutBe32(payload.data() + at32, static_cast<std::uint32_t>(value));
    } else {
        if (payload.size() < at64 + 8)
            return Failure("short " + what);
        PutBe64(payload.data() + at64, value);
    }
    return Success();
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

void CopyBox(const JoinBox& in, OutBox& out) {
    out.type = in.type;
    if (in.opened) {
        out.kind = OutBox::Kind::Container;
        for (const auto& c : in.children) {
            OutBox child;
            CopyBox(c, child);
            out.children.push_back(std::move(child));
        }
    } else {
        out.kind = OutBox::Kind::Bytes;
        out.payload = in.payload;
    }
}

// The sample table of a merged track, in the first recording's box order.
Result<OutBox> BuildSampleTable(const JoinBox& stbl, const TrackFacts& track,
                                const std::vector<std::uint64_t>& mediaOffsets) {
    const SampleTables& t = track.tables;
    std::vector<std::uint64_t> offsets(t.chunks.size());
    for (std::size_t c = 0; c < t.chunks.size(); ++c)
        offsets[c] = mediaOffsets[t.chunks[c].mdat] + t.chunks[c].offset;
    OutBox out = OutBox::Container("stbl");
    bool wroteSync = false;
    for (const JoinBox& b : stbl.children) {
        if (b.type == "stsd") {
            out.children.push_back(OutBox::Bytes("stsd", b.payload));
        } else if (b.type == "stts") {
            out.children.push_back(OutBox::Bytes("stts", TimeToSamplePayload(t)));
        } else if (b.type == "ctts") {
            out.children.push_back(OutBox::Bytes("ctts", CompositionPayload(t)));
        } else if (b.type == "stsc") {
            out.children.push_back(OutBox::Bytes("stsc", SampleToChunkPayload(t)));
        } else if (b.type == "stsz") {
            out.children.push_back(OutBox::Bytes("stsz", SampleSizePayload(t)));
            if (t.syncSamples && !stbl.child("stss")) {
                out.children.push_back(OutBox::Bytes("stss", SyncSamplePayload(t)));
                wroteSync = true;
            }
        } else if (b.type == "stss") {
            if (t.syncSamples && !wroteSync)
                out.children.push_back(OutBox::Bytes("stss", SyncSamplePayload(t)));
        } else if (b.type == "stco" || b.type == "co64") {
            bool is64 = false;
            auto payload = ChunkOffsetPayload(offsets, &is64);
            out.children.push_back(OutBox::Bytes(is64 ? "co64" : "stco", std::move(payload)));
        } else if (b.type == "sgpd") {
            out.children.push_back(OutBox::Bytes("sgpd", b.payload));
        } else if (b.type == "sbgp") {
            out.children.push_back(OutBox::Bytes("sbgp", SampleGroupPayload(t)));
        } else if (b.type == "sdtp") {
            if (t.dependencies)
                out.children.push_back(OutBox::Bytes("sdtp", DependencyPayload(t)));
        }
    }
    return out;
}

Result<OutBox> BuildTrack(const JoinBox& trak, const TrackFacts& track, std::uint32_t movieScale,
                          const std::vector<std::uint64_t>& mediaOffsets) {
    (void)movieScale;
    OutBox out = OutBox::Container("trak");
    for (const JoinBox& b : trak.children) {
        OutBox child;
        CopyBox(b, child);
        if (b.type == "tkhd") {
            if (Status s = PatchDuration(child.payload, 20, 28, track.trackDuration, "track"); !s)
                return Error{s.error()};
        } else if (b.type == "edts" && track.edit) {
            for (OutBox& e : child.children)
                if (e.type == "elst")
                    if (Status s = PatchDuration(e.payload, 8, 8, track.edit->duration, "edit"); !s)
                        return Error{s.error()};
        } else if (b.type == "mdia") {
            for (std::size_t i = 0; i < b.children.size(); ++i) {
                OutBox& m = child.children[i];
                if (m.type == "mdhd") {
                    if (Status s = PatchDuration(m.payload, 16, 24, track.mediaDuration, "media");
                        !s)
                        return Error{s.error()};
                } else if (m.type == "minf") {
                    const JoinBox& minf = b.children[i];
                    for (std::size_t k = 0; k < minf.children.size(); ++k)
                        if (minf.children[k].type == "stbl") {
                            auto stbl = BuildSampleTable(minf.children[k], track, mediaOffsets);
                            if (!stbl)
                                return Error{stbl.error()};
                            m.children[k] = std::move(stbl.value());
                        }
                }
            }
        }
        out.children.push_back(std::move(child));
    }
    return out;
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

Result<std::vector<OutBox>> JoinedMovie::Build() const {
    // The chunk offsets depend on where the media boxes land, which depends on the size
    // of a movie box written before them, which grows if offsets need 64 bits: repeat
    // until the layout holds still.
    std::vector<std::uint64_t> mediaOffsets(media_.size(), 0);
    for (int round = 0; round < 6; ++round) {
        std::vector<OutBox> top;
        std::size_t mediaIndex = 0;
        for (const JoinBox& b : first_.boxes) {
            if (b.type == "mdat") {
                top.push_back(OutBox::Media("mdat", media_[mediaIndex++]));
            } else if (b.type == "moov") {
                OutBox moov = OutBox::Container("moov");
                std::size_t trackIndex = 0;
                for (const JoinBox& c : b.children) {
                    if (c.type == "trak") {
                        auto trak = BuildTrack(c, facts_.tracks[trackIndex++],
                                               facts_.movieTimescale, mediaOffsets);
                        if (!trak)
                            return Error{trak.error()};
                        moov.children.push_back(std::move(trak.value()));
                        continue;
                    }
                    OutBox child;
                    CopyBox(c, child);
                    if (c.type == "mvhd")
                        if (Status s =
                                PatchDuration(child.payload, 16, 24, facts_.movieDuration, "movie");
                            !s)
                            return Error{s.error()};
                    moov.children.push_back(std::move(child));
                }
                top.push_back(std::move(moov));
            } else if (b.type == "udat" && facts_.telemetry) {
                const DataFile& t = *facts_.telemetry;
                top.push_back(
                    OutBox::Bytes("udat", EncodeJoinedBlock(t.header, t.count, t.records)));
            } else if (b.loaded) {
                top.push_back(OutBox::Bytes(b.type, b.payload));
            } else {
                // A large box of the first recording, copied as it is.
                OutBox verbatim = OutBox::Media(b.type, {{0, b.payloadOffset(), b.payloadSize}});
                top.push_back(std::move(verbatim));
            }
        }
        std::vector<std::uint64_t> placed;
        std::uint64_t at = 0;
        for (const OutBox& box : top) {
            if (box.type == "mdat")
                placed.push_back(at + HeaderSize(box));
            at += BoxSize(box);
        }
        if (placed == mediaOffsets) {
            if (Status s = CheckSizes(top); !s)
                return Error{s.error()};
            return top;
        }
        mediaOffsets = std::move(placed);
    }
    return Failure("the layout of the joined movie does not settle");
}

} // namespace kirvano
