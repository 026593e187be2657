// The box tree of one movie, as the join writer rewrites it, with per-type lists of the
// boxes it patches and the accessors the recording list and the export show.
//
// How to write a tree back: a node with children writes its header and then its children;
// a leaf writes its header and then its payload if one was loaded, else `source_size`
// bytes copied from `source_offset` of `source` (mdat, payloads not loaded, payloads too
// large to hold). A node with `children_incomplete` is such a leaf: its child parse met
// bytes that are not boxes, so its bytes are copied verbatim and the children kept from
// before that point are for reading only (patching them changes nothing that is written).
#pragma once

#include "base/Result.h"
#include "container/MappedFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kirvano {

struct AtomNode {
    std::uint32_t depth = 0; // 0 the root (the whole file, no header), 1 top-level boxes
    std::optional<std::vector<std::uint8_t>> payload; // a leaf's payload, when loaded
    std::vector<AtomNode> children;                   // in file order
    bool is_leaf = false;
    std::string type;                // four characters; empty for the root
    std::string source;              // the file the bytes come from
    std::uint64_t size = 0;          // payload size as it will be written
    std::uint64_t offset = 0;        // payload offset in the source (header excluded)
    std::uint64_t loaded_size = 0;   // payload bytes held in payload
    std::uint64_t source_size = 0;   // payload size in the source (what is copied)
    std::uint64_t source_offset = 0; // payload offset in the source (what is copied)
    std::uint64_t block_length = 0;  // udat only: telemetry record bytes behind the header
    std::uint16_t record_count = 0;  // udat only: telemetry records
    // mdat and udat only: the same box of the movies the join writer appends, in order.
    std::vector<AtomNode*> appended;
    // The child parse stopped at bytes that are not boxes (see the top of this file).
    bool children_incomplete = false;
    // The type is not a known box type (kept verbatim; only at the top level).
    bool unknown_type = false;
};

// Leaf payloads above this size are not held in memory; the writer copies them.
inline constexpr std::uint64_t kMaxLoadedPayload = 64ull << 20;
// Deeper nesting than this is not a movie the camera writes: the parse fails.
inline constexpr std::uint32_t kMaxBoxDepth = 32;

struct MovieFile {
    MovieFile() = default;
    MovieFile(MovieFile&&) = default;
    MovieFile& operator=(MovieFile&&) = default;
    MovieFile(const MovieFile&) = delete;
    MovieFile& operator=(const MovieFile&) = delete;

    std::unique_ptr<MappedFile> file; // stays open on the movie
    AtomNode root;                    // type empty, size = file size, offset 0
    // Depth-first, a parent before its children, siblings in file order.
    std::vector<AtomNode*> mdat, stsz, stco, mdhd, stss, stts, mvhd, tkhd, elst, stsd;

    // The list for one of the ten types above; nullptr for any other type.
    std::vector<AtomNode*>* ListOf(std::string_view type);
    const std::vector<AtomNode*>* ListOf(std::string_view type) const;
};

// Parses the movie at path; with load_payloads every leaf payload (except mdat's and those
// above kMaxLoadedPayload) is read into memory. A zero or too small box size, a child that
// does not fit in its parent or the file, or too deep a nesting fails the parse.
Result<MovieFile> ParseMovie(const std::string& path, bool load_payloads);
// The same on a reader that is already open (a file or memory); the movie takes it over.
Result<MovieFile> ParseMovie(std::unique_ptr<MappedFile> reader, bool load_payloads);
// Releases the tree, the payloads and the file.
void FreeMovie(MovieFile& movie);

struct FrameSize {
    int width = -1;
    int height = -1;
};

// Width and height of the first sample description (the first track's); −1 without one.
FrameSize VideoSize(const MovieFile& movie);
// Sample count of the first track's first time-table entry; −1 without one.
std::int64_t FrameCount(const MovieFile& movie);
// The first track's media timescale (of its `mdhd`; the movie header's when the track has
// none) over the delta of its first time-table entry; −1 without a table or a timescale.
float FrameRate(const MovieFile& movie);

} // namespace kirvano
