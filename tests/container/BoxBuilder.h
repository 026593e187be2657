// Builds box files in memory for the container tests: boxes, the headers the readers look
// at, and a whole small movie.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Be16(std::uint16_t v) {
    return {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}
inline Bytes Be32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}
inline Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}
inline Bytes Zeros(std::size_t n) {
    return Bytes(n, 0);
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
// A box with the size its bytes give, or a size field of the caller's choice.
inline Bytes Box(std::string_view type, const Bytes& payload) {
    return Cat({Be32(static_cast<std::uint32_t>(payload.size() + 8)), Text(type), payload});
}
inline Bytes BoxWithSize(std::uint32_t size, std::string_view type, const Bytes& payload) {
    return Cat({Be32(size), Text(type), payload});
}

// Version 0 headers: version and flags, creation, modification, timescale, duration.
inline Bytes Mvhd(std::uint32_t timescale, std::uint32_t duration, std::uint8_t version = 0) {
    Bytes head = Cat(
        {Bytes{version, 0, 0, 0}, Be32(0), Be32(0), Be32(timescale), Be32(duration), Zeros(80)});
    return Box("mvhd", head);
}
inline Bytes Mdhd(std::uint32_t timescale, std::uint32_t duration) {
    return Box("mdhd",
               Cat({Zeros(4), Be32(0), Be32(0), Be32(timescale), Be32(duration), Zeros(4)}));
}
inline Bytes Stts(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> entries) {
    Bytes payload = Cat({Zeros(4), Be32(static_cast<std::uint32_t>(entries.size()))});
    for (auto [count, delta] : entries)
        payload = Cat({payload, Be32(count), Be32(delta)});
    return Box("stts", payload);
}
// A sample description with one video entry of the given size.
inline Bytes Stsd(std::uint16_t width, std::uint16_t height) {
    const Bytes entry =
        Box("avc1", Cat({Zeros(6), Be16(1), Zeros(16), Be16(width), Be16(height), Zeros(50)}));
    return Box("stsd", Cat({Zeros(4), Be32(1), entry}));
}
inline Bytes Ftyp() {
    return Box("ftyp", Cat({Text("qt  "), Be32(0x200), Text("qt  ")}));
}

inline Bytes Track(std::uint32_t timescale, std::uint32_t count, std::uint32_t delta,
                   std::uint16_t width, std::uint16_t height) {
    const Bytes stbl = Box("stbl", Cat({Stsd(width, height), Stts({{count, delta}}),
                                        Box("stsz", Zeros(12)), Box("stco", Zeros(8))}));
    const Bytes minf = Box("minf", Cat({Box("vmhd", Zeros(12)), stbl}));
    const Bytes mdia = Box("mdia", Cat({Mdhd(timescale, count * delta), minf}));
    return Box("trak", Cat({Box("tkhd", Zeros(84)), mdia}));
}

struct MovieShape {
    std::uint32_t timescale = 600;
    std::uint32_t duration = 1200; // 2 s
    std::uint32_t count = 60;      // frames
    std::uint32_t delta = 20;      // 30 frames per second at 600
    std::uint16_t width = 1920;
    std::uint16_t height = 1080;
    std::size_t media_bytes = 400;
    bool moov_first = false;
};

inline Bytes Moov(const MovieShape& s) {
    return Box("moov", Cat({Mvhd(s.timescale, s.duration),
                            Track(s.timescale, s.count, s.delta, s.width, s.height)}));
}
inline Bytes Movie(const MovieShape& s = {}) {
    const Bytes mdat = Box("mdat", Bytes(s.media_bytes, 0x11));
    return s.moov_first ? Cat({Ftyp(), Moov(s), mdat}) : Cat({Ftyp(), mdat, Moov(s)});
}

} // namespace kirvano::testing
