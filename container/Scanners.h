// The three scans over a MappedFile and the movie timing built on two of them. Each scan
// holds the reader's scan lock, sets its hit counter to 0, counts a successful handler
// call as a hit, and stops (clearing the flag, result false) when an abort was requested.
#pragma once

#include "base/ByteRange.h"
#include "base/Result.h"
#include "container/MappedFile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kirvano {

// The handler gets the reader and the bytes of the window behind the marker, cut at the
// end of the window and of the file; it returns true for success.
using MarkerHandler = std::function<bool(MappedFile& reader, ByteRange bytes)>;

struct MarkerSpec {
    std::uint32_t matched = 0; // marker bytes matched so far (scanner state)
    std::string_view bytes;    // e.g. "mvhd", "stts", "CSMDAT"
    MarkerHandler handler;
    std::uint64_t start = 0; // nothing below this offset is scanned
};

inline constexpr std::uint64_t kSearchWindow = 0x2000000; // byte search step (32 MiB)
inline constexpr std::uint64_t kHandlerWindow = 0x100000; // behind a found box (1 MiB)
inline constexpr std::uint64_t kBlockWindow = 0x2000000;  // a top-level block (32 MiB)

// Byte search for the marker over the whole file that jumps over every `mdat` payload.
// The handler gets up to 1 MiB from the byte after the marker. A file without the marker
// gives true without a handler call (hits() == 0).
bool FindMarker(MappedFile& reader, MarkerSpec& spec);

// Walks moov/trak/mdia/minf/stbl/stts, entering the first `trak` in file order, and hands
// the handler the payload of that `stts` (cut at the box's end and at 1 MiB).
bool FindAtomPath(MappedFile& reader, MarkerSpec& spec);

// Walks the top-level blocks for one whose first four bytes are the marker's first four
// (a telemetry block "CSMDAT"); the handler gets the bytes from block start + marker
// length up to block start + 32 MiB, cut at the end of the file.
bool WalkTopLevel(MappedFile& reader, MarkerSpec& spec);

struct MovieTiming {
    float duration_s = 0;
    float frame_duration_ms = 0;
    // The copy the player may overwrite with its own frame-rate query.
    float frame_duration_working_ms = 0;
};

// The quick movie test on path, then both scans on reader (opened on path here). A
// timescale or first sample count of 0 gives infinite or not-a-number values, which the
// player replaces by its own frame-rate query. The reader stays open on the movie; the
// caller decides when to reset it.
Result<MovieTiming> ReadMovieTiming(MappedFile& reader, const std::string& path);
// The same on a reader that is already open (a file or memory).
Result<MovieTiming> ReadOpenMovieTiming(MappedFile& reader);

} // namespace kirvano
