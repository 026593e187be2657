// One input movie of a join, taken from the container's box tree: the boxes the join
// rewrites (the movie box and the track boxes down to the sample tables) are opened,
// every other box is kept whole, small ones in memory and large ones (the media data) as
// a reference into the file. The tree parse has checked every size against the parent
// and the file.
#pragma once

#include "base/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kirvano {

struct JoinBox {
    std::string type;             // four characters
    std::uint64_t offset = 0;     // of the box header in the source file
    std::uint64_t headerSize = 8; // 16 for a box with a 64-bit size
    std::uint64_t payloadSize = 0;
    bool opened = false;               // children hold the payload's boxes
    bool loaded = false;               // payload holds the payload's bytes
    std::vector<std::uint8_t> payload; // when loaded
    std::vector<JoinBox> children;     // when opened

    std::uint64_t payloadOffset() const { return offset + headerSize; }
    std::uint64_t boxSize() const { return headerSize + payloadSize; }
    // The first child of that type, or nullptr.
    const JoinBox* child(const std::string& childType) const;
    JoinBox* child(const std::string& childType);
};

struct JoinInput {
    std::string path;
    std::uint64_t fileSize = 0;
    std::vector<JoinBox> boxes; // top level, in file order
};

// Boxes larger than this outside the movie box stay in the file; a movie box larger
// than kMaxMovieBox is refused (its tables would not fit sensibly in memory).
inline constexpr std::uint64_t kMaxLoadedBox = 1 << 20;
inline constexpr std::uint64_t kMaxMovieBox = 256u << 20;
// The camera's telemetry box is read whole up to this size.
inline constexpr std::uint64_t kMaxLoadedTelemetry = 64u << 20;

Result<JoinInput> ReadJoinInput(const std::string& path);
// The same on bytes in memory (tests and fuzzing); path is only recorded.
Result<JoinInput> ReadJoinInputFromBytes(const std::string& path, const std::uint8_t* data,
                                         std::size_t size);

} // namespace kirvano
