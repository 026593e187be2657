// Small camera-like movies built in memory for the join tests: one video track whose
// samples are distinct bytes, a telemetry box, the media data before or after the movie
// box.
#pragma once

#include "base/ByteRange.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano::testing {

using Bytes = std::vector<std::uint8_t>;

inline void Add(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}
inline Bytes U32(std::uint32_t v) {
    Bytes b(4);
    PutBe32(b.data(), v);
    return b;
}
inline Bytes Str(std::string_view s) {
    return Bytes(s.begin(), s.end());
}
inline Bytes MakeBox(std::string_view type, const Bytes& payload) {
    Bytes out = U32(static_cast<std::uint32_t>(payload.size() + 8));
    Add(out, Str(type));
    Add(out, payload);
    return out;
}
inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        Add(out, p);
    return out;
}

struct MovieSpec {
    std::uint32_t samples = 30;
    std::uint32_t samplesPerChunk = 5;
    std::uint32_t delta = 20; // media time scale 600: 30 frames per second
    std::uint32_t keyEvery = 10;
    std::uint16_t width = 320, height = 240;
    bool moovFirst = false;
    bool withTelemetry = true;
    std::uint32_t records = 3;
    std::uint8_t fill = 1; // first byte of the sample bytes, to tell movies apart
    bool composition = false;
};

inline std::uint32_t SampleSize(std::uint32_t i) {
    return 50 + i % 7;
}

inline Bytes TelemetryBlock(std::uint32_t records, std::uint8_t fill) {
    Bytes b = Str("CSMDAT");
    Add(b, Str("1000200030004000M010203HNN"));
    b.push_back(static_cast<std::uint8_t>(records >> 8));
    b.push_back(static_cast<std::uint8_t>(records));
    for (std::uint32_t r = 0; r < records; ++r)
        Add(b, Bytes(124, static_cast<std::uint8_t>('a' + (fill + r) % 26)));
    Add(b, Str("CSMEND"));
    return b;
}

// The sample bytes of movie spec, in file order.
inline Bytes MediaBytes(const MovieSpec& s) {
    Bytes media;
    for (std::uint32_t i = 0; i < s.samples; ++i)
        Add(media, Bytes(SampleSize(i), static_cast<std::uint8_t>(s.fill + i)));
    return media;
}

inline Bytes BuildMoov(const MovieSpec& s, std::uint32_t mediaPayloadOffset) {
    const std::uint32_t duration = s.samples * s.delta;
    Bytes mvhd = Join({U32(0), U32(0), U32(0), U32(600), U32(duration), Bytes(80, 0)});
    Bytes tkhd = Join({U32(0), U32(0), U32(0), U32(1), U32(0), U32(duration), Bytes(52, 0),
                       U32(static_cast<std::uint32_t>(s.width) << 16),
                       U32(static_cast<std::uint32_t>(s.height) << 16)});
    Bytes elst = Join({U32(0), U32(1), U32(duration), U32(0), U32(0x00010000)});
    Bytes mdhd = Join({U32(0), U32(0), U32(0), U32(600), U32(duration), U32(0)});
    Bytes hdlr = Join({U32(0), Str("mhlr"), Str("vide"), Bytes(12, 0), Bytes(1, 0)});
    Bytes entry(78, 0);
    entry[7] = 1;
    PutBe16(entry.data() + 24, s.width);
    PutBe16(entry.data() + 26, s.height);
    Bytes stsd = Join({U32(0), U32(1), MakeBox("avc1", entry)});
    Bytes stts = Join({U32(0), U32(1), U32(s.samples), U32(s.delta)});
    Bytes ctts = Join({U32(0), U32(1), U32(s.samples), U32(s.delta)});
    Bytes stss = Join({U32(0), U32((s.samples + s.keyEvery - 1) / s.keyEvery)});
    for (std::uint32_t i = 0; i < s.samples; i += s.keyEvery)
        Add(stss, U32(i + 1));
    const std::uint32_t chunks = (s.samples + s.samplesPerChunk - 1) / s.samplesPerChunk;
    Bytes stsc = Join({U32(0), U32(1), U32(1), U32(s.samplesPerChunk), U32(1)});
    if (s.samples % s.samplesPerChunk != 0)
        stsc = Join({U32(0), U32(2), U32(1), U32(s.samplesPerChunk), U32(1), U32(chunks),
                     U32(s.samples % s.samplesPerChunk), U32(1)});
    Bytes stsz = Join({U32(0), U32(0), U32(s.samples)});
    Bytes stco = Join({U32(0), U32(chunks)});
    std::uint32_t at = mediaPayloadOffset;
    for (std::uint32_t i = 0; i < s.samples; ++i) {
        Add(stsz, U32(SampleSize(i)));
        if (i % s.samplesPerChunk == 0)
            Add(stco, U32(at));
        at += SampleSize(i);
    }
    Bytes stbl = Join({MakeBox("stsd", stsd), MakeBox("stts", stts)});
    if (s.composition)
        Add(stbl, MakeBox("ctts", ctts));
    Add(stbl, Join({MakeBox("stss", stss), MakeBox("stsc", stsc), MakeBox("stsz", stsz),
                    MakeBox("stco", stco)}));
    Bytes minf = Join({MakeBox("vmhd", Bytes(12, 0)), MakeBox("stbl", stbl)});
    Bytes mdia = Join({MakeBox("mdhd", mdhd), MakeBox("hdlr", hdlr), MakeBox("minf", minf)});
    Bytes trak = Join(
        {MakeBox("tkhd", tkhd), MakeBox("edts", MakeBox("elst", elst)), MakeBox("mdia", mdia)});
    return MakeBox("moov", Join({MakeBox("mvhd", mvhd), MakeBox("trak", trak)}));
}

inline Bytes BuildMovie(const MovieSpec& s) {
    const Bytes ftyp = MakeBox("ftyp", Join({Str("qt  "), U32(0x200), Str("qt  ")}));
    const Bytes media = MediaBytes(s);
    const Bytes udat =
        s.withTelemetry ? MakeBox("udat", TelemetryBlock(s.records, s.fill)) : Bytes{};
    if (!s.moovFirst) {
        const auto offset = static_cast<std::uint32_t>(ftyp.size() + 8);
        return Join({ftyp, MakeBox("mdat", media), BuildMoov(s, offset), udat});
    }
    const Bytes probe = BuildMoov(s, 0);
    const auto offset = static_cast<std::uint32_t>(ftyp.size() + probe.size() + 8);
    return Join({ftyp, BuildMoov(s, offset), MakeBox("mdat", media), udat});
}

} // namespace kirvano::testing
