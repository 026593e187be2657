// The joined movie's output boxes: the first recording's tree with the merged sample
// tables, the summed durations and the media chains, laid out until the chunk offsets
// hold still.
#include "container/JoinMovie.h"
#include "container/JoinMovieParts.h"

#include <limits>

namespace kirvano {
namespace {

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

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
