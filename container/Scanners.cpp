// The byte search, the box-path walk, the top-level walk and the movie timing.
#include "container/Scanners.h"

#include <array>
#include <cstring>

namespace kirvano {
namespace {

// A box header needs 8 bytes; sizes 1 (64-bit size) and 2 to 7 cannot be walked.
constexpr std::uint32_t kBoxHeader = 8;
constexpr std::uint64_t kHeaderWindow = 12;

bool CallHandler(MappedFile& reader, MarkerSpec& spec, ByteRange bytes) {
    if (!spec.handler || !spec.handler(reader, bytes))
        return false;
    reader.set_hits(reader.hits() + 1);
    return true;
}

} // namespace

bool FindMarker(MappedFile& reader, MarkerSpec& spec) {
    std::lock_guard lock(reader.scan_lock());
    reader.set_hits(0);
    reader.set_last_error({});
    spec.matched = 0;
    if (!reader.IsOpen() || spec.bytes.empty())
        return false;
    const std::uint64_t size = reader.size();
    if (spec.start >= size)
        return true;
    const std::uint64_t range = size - spec.start;
    const auto* marker = reinterpret_cast<const std::uint8_t*>(spec.bytes.data());
    const std::uint32_t marker_length = static_cast<std::uint32_t>(spec.bytes.size());

    // Everything the guarded loop changes lives here, so a bus error loses nothing.
    enum class Outcome { End, Found, Failed };
    Outcome outcome = Outcome::End;
    std::uint64_t found_at = 0;
    std::optional<Window> window;
    std::uint64_t window_number = UINT64_MAX;
    std::uint64_t window_start = 0;
    const std::uint8_t* base = nullptr;

    auto scan = [&] {
        std::uint64_t i = spec.start;
        std::uint32_t matched = 0;
        while (i < size) {
            const std::uint64_t k = i / kSearchWindow;
            if (k != window_number) {
                window.reset();
                // Four bytes before the window keep the size in front of a type readable;
                // four after it keep a type that straddles two windows whole.
                const std::uint64_t first = k * kSearchWindow;
                window_start = first >= 4 ? first - 4 : 0;
                window = reader.MapWindow(window_start, kSearchWindow + 4 + (first - window_start),
                                          size);
                if (!window) {
                    outcome = Outcome::Failed;
                    return;
                }
                window_number = k;
                base = window->bytes().data();
            }
            // byte(j) for any j of this window
            const std::uint8_t* const byte = base - window_start;
            const std::uint64_t window_end = std::min((k + 1) * kSearchWindow, size);
            for (; i < window_end; ++i) {
                if (reader.AbortRequested() && reader.TakeAbort()) {
                    outcome = Outcome::Failed;
                    return;
                }
                const std::uint8_t b = byte[i];
                if (b == 'm' && i >= spec.start + 4 && size - i >= 4 && byte[i + 1] == 'd' &&
                    byte[i + 2] == 'a' && byte[i + 3] == 't') {
                    const std::uint32_t box_size = (std::uint32_t(byte[i - 4]) << 24) |
                                                   (std::uint32_t(byte[i - 3]) << 16) |
                                                   (std::uint32_t(byte[i - 2]) << 8) | byte[i - 1];
                    if (box_size < kBoxHeader || box_size >= range) {
                        outcome = Outcome::Failed;
                        return;
                    }
                    // From the type of this box to the type of the next one.
                    i += box_size;
                    break;
                }
                if (b == marker[matched])
                    ++matched;
                else
                    matched = b == marker[0] ? 1 : 0;
                if (matched == marker_length) {
                    found_at = i + 1;
                    outcome = Outcome::Found;
                    return;
                }
            }
        }
    };
    const bool intact = GuardedRead(scan);
    window.reset();
    if (!intact) {
        reader.set_last_error("The file is shorter than when it was opened");
        return false;
    }
    if (outcome == Outcome::End)
        return true;
    if (outcome == Outcome::Failed)
        return false;
    const auto behind = reader.ReadWindow(found_at, kHandlerWindow, size);
    return CallHandler(reader, spec, behind ? behind->bytes() : ByteRange());
}

bool FindAtomPath(MappedFile& reader, MarkerSpec& spec) {
    static constexpr std::array<std::string_view, 6> kPath = {"moov", "trak", "mdia",
                                                              "minf", "stbl", "stts"};
    std::lock_guard lock(reader.scan_lock());
    reader.set_hits(0);
    reader.set_last_error({});
    if (!reader.IsOpen())
        return false;
    const std::uint64_t size = reader.size();
    std::size_t cursor = 0;
    std::uint64_t offset = spec.start;
    while (offset < size) {
        if (reader.TakeAbort())
            return false;
        const auto header = reader.ReadWindow(offset, kHeaderWindow, size);
        if (!header)
            return false;
        const ByteRange bytes = header->bytes();
        // Fewer than 8 bytes left cannot hold a box: the end of the walk.
        if (bytes.size() < kBoxHeader)
            return true;
        const std::uint32_t box_size = *bytes.be32(0);
        if (*bytes.fourcc(4) == kPath[cursor]) {
            if (cursor + 1 < kPath.size()) {
                ++cursor;
                offset += kBoxHeader;
                continue;
            }
            const std::uint64_t payload = box_size >= kBoxHeader ? box_size - kBoxHeader : 0;
            const auto window = reader.ReadWindow(
                offset + kBoxHeader, std::min(payload, kHandlerWindow - kBoxHeader), size);
            return CallHandler(reader, spec, window ? window->bytes() : ByteRange());
        }
        if (box_size < kBoxHeader)
            return false;
        offset += box_size;
    }
    return true;
}

bool WalkTopLevel(MappedFile& reader, MarkerSpec& spec) {
    std::lock_guard lock(reader.scan_lock());
    reader.set_hits(0);
    reader.set_last_error({});
    if (!reader.IsOpen())
        return false;
    const std::uint64_t size = reader.size();
    const std::string_view lead = spec.bytes.substr(0, 4);
    std::uint64_t offset = spec.start;
    while (offset < size) {
        if (reader.TakeAbort())
            return false;
        const auto header = reader.ReadWindow(offset, kHeaderWindow, size);
        if (!header)
            return false;
        const ByteRange bytes = header->bytes();
        if (!lead.empty() && bytes.size() >= lead.size() &&
            std::memcmp(bytes.data(), lead.data(), lead.size()) == 0) {
            const std::uint64_t skip = spec.bytes.size();
            const auto block = reader.ReadWindow(offset + skip, kBlockWindow - skip, size);
            return CallHandler(reader, spec, block ? block->bytes() : ByteRange());
        }
        if (bytes.size() < kBoxHeader)
            return true;
        const std::uint32_t box_size = *bytes.be32(0);
        if (box_size < kBoxHeader)
            return false;
        offset += box_size;
    }
    return true;
}

Result<MovieTiming> ReadMovieTiming(MappedFile& reader, const std::string& path) {
    if (!IsMovieFile(path))
        return Failure("not a movie");
    if (Status opened = reader.Open(path); !opened)
        return Failure(opened.error());
    return ReadOpenMovieTiming(reader);
}

Result<MovieTiming> ReadOpenMovieTiming(MappedFile& reader) {
    if (!reader.IsOpen())
        return Failure("no file is open");
    std::uint8_t head[260];
    if (!reader.ReadAt(0, head) || !IsMovieStart(ByteRange(head, sizeof head)))
        return Failure("not a movie");

    MovieTiming timing;
    MarkerSpec header;
    header.bytes = "mvhd";
    header.handler = [&timing](MappedFile&, ByteRange bytes) {
        // Version 0 only: version and flags, creation, modification, timescale, duration.
        const auto version = bytes.u8(0);
        const auto timescale = bytes.be32(12);
        const auto duration = bytes.be32(16);
        if (!version || *version != 0 || !timescale || !duration)
            return false;
        timing.duration_s = static_cast<float>(*duration) / static_cast<float>(*timescale);
        return true;
    };
    if (!FindMarker(reader, header))
        return Failure(reader.last_error().empty() ? "the movie header cannot be read"
                                                   : reader.last_error());
    if (reader.hits() == 0)
        return Failure("no movie header");

    MarkerSpec table;
    table.bytes = "stts";
    table.handler = [&timing](MappedFile&, ByteRange bytes) {
        // Version and flags, entry count, then the first entry's sample count and delta.
        const auto entries = bytes.be32(4);
        const auto count = bytes.be32(8);
        if (!entries || *entries == 0 || !count)
            return false;
        // The whole clip is taken to run at one frame rate, that of the first entry.
        timing.frame_duration_ms = 1000.0f / (static_cast<float>(*count) / timing.duration_s);
        timing.frame_duration_working_ms = timing.frame_duration_ms;
        return true;
    };
    if (!FindAtomPath(reader, table))
        return Failure(reader.last_error().empty() ? "the sample time table cannot be read"
                                                   : reader.last_error());
    if (reader.hits() == 0)
        return Failure("no sample time table");
    return timing;
}

} // namespace kirvano
