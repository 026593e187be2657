// The tree parse of a movie, its per-type lists and the accessors. Every size is checked
// against the parent and the file before anything is read or allocated from it.
#include "container/MovieFile.h"

#include "base/ByteRange.h"
#include "container/KnownBoxTable.h"

#include <array>
#include <cmath>

namespace kirvano {
namespace {

constexpr std::uint64_t kHeader = 8;

struct Parser {
    MappedFile& file;
    bool load_payloads;
    std::string error;

    bool Fail(std::string reason) {
        if (error.empty())
            error = std::move(reason);
        return false;
    }

    bool ReadHeader(std::uint64_t at, std::array<std::uint8_t, 8>& out) {
        if (!file.ReadAt(at, out))
            return Fail(file.last_error().empty() ? "the file cannot be read" : file.last_error());
        return true;
    }

    // Fills a node for the box whose payload of size s starts at o.
    bool MakeNode(AtomNode& node, std::string_view type, std::uint64_t s, std::uint64_t o,
                  std::uint32_t depth) {
        node.depth = depth;
        node.type = std::string(type);
        node.source = file.path();
        node.size = node.source_size = s;
        node.offset = node.source_offset = o;
        if (type == "mdat") {
            node.is_leaf = true;
            return true;
        }
        bool container = false;
        if (s >= kHeader) {
            std::array<std::uint8_t, 8> head{};
            if (!ReadHeader(o, head))
                return false;
            const ByteRange bytes(head.data(), head.size());
            container = IsKnownBox(*bytes.fourcc(4));
        }
        if (container)
            return ParseChildren(node, depth);
        node.is_leaf = true;
        if (load_payloads && s <= kMaxLoadedPayload)
            return LoadPayload(node);
        return true;
    }

    bool LoadPayload(AtomNode& node) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(node.source_size));
        if (!file.ReadAt(node.source_offset, bytes))
            return Fail(file.last_error().empty() ? "the file cannot be read" : file.last_error());
        node.loaded_size = bytes.size();
        node.payload = std::move(bytes);
        return true;
    }

    bool ParseChildren(AtomNode& node, std::uint32_t depth) {
        if (depth >= kMaxBoxDepth)
            return Fail("the boxes are nested too deeply");
        const std::uint64_t end = node.offset + node.size;
        std::uint64_t at = node.offset;
        while (at < end) {
            const std::uint64_t remaining = end - at;
            if (remaining < kHeader) {
                // A tail too short for a box (e.g. the zero terminator of a user-data
                // list): the bytes are copied as they are.
                node.children_incomplete = true;
                break;
            }
            std::array<std::uint8_t, 8> head{};
            if (!ReadHeader(at, head))
                return false;
            const ByteRange bytes(head.data(), head.size());
            const std::uint32_t box_size = *bytes.be32(0);
            const std::string_view type = *bytes.fourcc(4);
            const bool known = IsKnownBox(type);
            if (!known && (depth > 0 || box_size < kHeader || box_size > remaining)) {
                // Below the top level an unknown type means the payload does not continue
                // with boxes.
                node.children_incomplete = true;
                break;
            }
            if (box_size == 0)
                return Fail("a box has size 0");
            if (box_size < kHeader)
                return Fail("a box is smaller than its header");
            if (box_size > remaining)
                return Fail(depth == 0 ? "a box runs past the end of the file"
                                       : "a box runs past the end of its parent");
            AtomNode child;
            if (known) {
                if (!MakeNode(child, type, box_size - kHeader, at + kHeader, depth + 1))
                    return false;
            } else {
                // A top-level box of a type this reader does not know: kept verbatim.
                child.depth = depth + 1;
                child.type = std::string(type);
                child.source = file.path();
                child.size = child.source_size = box_size - kHeader;
                child.offset = child.source_offset = at + kHeader;
                child.is_leaf = true;
                child.unknown_type = true;
            }
            node.children.push_back(std::move(child));
            at += box_size;
        }
        if (node.children_incomplete)
            node.is_leaf = true;
        return true;
    }
};

void Collect(AtomNode& node, MovieFile& movie) {
    for (AtomNode& child : node.children) {
        if (auto* list = movie.ListOf(child.type))
            list->push_back(&child);
        Collect(child, movie);
    }
}

const std::vector<std::uint8_t>* FirstPayload(const std::vector<AtomNode*>& list) {
    if (list.empty() || !list.front()->payload)
        return nullptr;
    return &*list.front()->payload;
}

// The timescale of a movie or media header of version 0 or 1.
std::optional<std::uint32_t> TimescaleOf(const std::vector<AtomNode*>& list) {
    const auto* payload = FirstPayload(list);
    if (payload == nullptr)
        return std::nullopt;
    const ByteRange bytes(payload->data(), payload->size());
    const auto version = bytes.u8(0);
    if (!version || *version > 1)
        return std::nullopt;
    return bytes.be32(*version == 1 ? 20 : 12);
}

} // namespace

std::vector<AtomNode*>* MovieFile::ListOf(std::string_view type) {
    static constexpr std::array<std::string_view, 10> kTypes = {
        "mdat", "stsz", "stco", "mdhd", "stss", "stts", "mvhd", "tkhd", "elst", "stsd"};
    std::array<std::vector<AtomNode*>*, 10> lists = {&mdat, &stsz, &stco, &mdhd, &stss,
                                                     &stts, &mvhd, &tkhd, &elst, &stsd};
    for (std::size_t i = 0; i < kTypes.size(); ++i)
        if (kTypes[i] == type)
            return lists[i];
    return nullptr;
}

const std::vector<AtomNode*>* MovieFile::ListOf(std::string_view type) const {
    return const_cast<MovieFile*>(this)->ListOf(type);
}

Result<MovieFile> ParseMovie(const std::string& path, bool load_payloads) {
    auto reader = std::make_unique<MappedFile>();
    if (Status opened = reader->Open(path); !opened)
        return Failure(opened.error());
    return ParseMovie(std::move(reader), load_payloads);
}

Result<MovieFile> ParseMovie(std::unique_ptr<MappedFile> reader, bool load_payloads) {
    if (!reader || !reader->IsOpen())
        return Failure("no file is open");
    MovieFile movie;
    movie.root.size = movie.root.source_size = reader->size();
    movie.root.source = reader->path();
    Parser parser{*reader, load_payloads, {}};
    if (!parser.ParseChildren(movie.root, 0))
        return Failure(parser.error);
    movie.file = std::move(reader);
    Collect(movie.root, movie);
    return movie;
}

void FreeMovie(MovieFile& movie) {
    movie = MovieFile();
}

FrameSize VideoSize(const MovieFile& movie) {
    FrameSize result;
    const auto* payload = FirstPayload(movie.stsd);
    if (payload == nullptr)
        return result;
    const ByteRange bytes(payload->data(), payload->size());
    const auto width = bytes.be16(40);
    const auto height = bytes.be16(42);
    if (width && height) {
        result.width = *width;
        result.height = *height;
    }
    return result;
}

std::int64_t FrameCount(const MovieFile& movie) {
    const auto* payload = FirstPayload(movie.stts);
    if (payload == nullptr)
        return -1;
    const ByteRange bytes(payload->data(), payload->size());
    const auto entries = bytes.be32(4);
    const auto count = bytes.be32(8);
    if (!entries || *entries == 0 || !count)
        return -1;
    return *count;
}

float FrameRate(const MovieFile& movie) {
    const auto* payload = FirstPayload(movie.stts);
    if (payload == nullptr)
        return -1.0f;
    const ByteRange bytes(payload->data(), payload->size());
    const auto entries = bytes.be32(4);
    const auto delta = bytes.be32(12);
    if (!entries || *entries == 0 || !delta)
        return -1.0f;
    auto timescale = TimescaleOf(movie.mdhd);
    if (!timescale)
        timescale = TimescaleOf(movie.mvhd);
    if (!timescale)
        return -1.0f;
    return static_cast<float>(*timescale) / static_cast<float>(*delta);
}

} // namespace kirvano
