#include "container/JoinInput.h"

#include "container/MovieFile.h"

#include <memory>

namespace kirvano {
namespace {

bool IsOpenedType(const std::string& type, bool insideMovie) {
    if (!insideMovie)
        return type == "moov";
    return type == "trak" || type == "mdia" || type == "minf" || type == "stbl" || type == "edts";
}

// The join's view of a node of the container's tree: the boxes it rewrites opened, all
// others whole, their bytes taken from the tree or read from the file.
Status Convert(const AtomNode& node, MappedFile& file, bool insideMovie, JoinBox& box) {
    box.type = node.type;
    box.headerSize = 8;
    box.offset = node.source_offset - 8;
    box.payloadSize = node.source_size;
    if (box.type == "moov" && !insideMovie && box.payloadSize > kMaxMovieBox)
        return Failure("the movie box is larger than " + std::to_string(kMaxMovieBox >> 20) +
                       " MiB");
    const bool inMovie = insideMovie || box.type == "moov";
    if (IsOpenedType(box.type, insideMovie) && !node.is_leaf && !node.children_incomplete) {
        box.opened = true;
        for (const AtomNode& child : node.children) {
            JoinBox c;
            if (Status s = Convert(child, file, inMovie, c); !s)
                return s;
            box.children.push_back(std::move(c));
        }
        return Success();
    }
    if (box.type == "mdat")
        return Success();
    if (!inMovie && box.payloadSize > kMaxLoadedBox &&
        !(box.type == "udat" && box.payloadSize <= kMaxLoadedTelemetry))
        return Success(); // copied from the file when written
    box.loaded = true;
    if (node.is_leaf && node.payload && node.payload->size() == node.source_size) {
        box.payload = *node.payload;
        return Success();
    }
    box.payload.resize(box.payloadSize);
    if (!file.ReadAt(node.source_offset, box.payload))
        return Failure("cannot read the " + box.type + " box at offset " +
                       std::to_string(box.offset));
    return Success();
}

Result<JoinInput> FromTree(Result<MovieFile> movie) {
    if (!movie)
        return Error{movie.error()};
    MovieFile& m = movie.value();
    JoinInput input;
    input.path = m.file->path();
    input.fileSize = m.file->size();
    for (const AtomNode& top : m.root.children) {
        JoinBox box;
        if (Status s = Convert(top, *m.file, false, box); !s)
            return Error{s.error()};
        input.boxes.push_back(std::move(box));
    }
    return input;
}

} // namespace

const JoinBox* JoinBox::child(const std::string& childType) const {
    for (const auto& c : children)
        if (c.type == childType)
            return &c;
    return nullptr;
}

JoinBox* JoinBox::child(const std::string& childType) {
    for (auto& c : children)
        if (c.type == childType)
            return &c;
    return nullptr;
}

Result<JoinInput> ReadJoinInputFromBytes(const std::string& path, const std::uint8_t* data,
                                         std::size_t size) {
    auto reader = std::make_unique<MappedFile>();
    if (Status s = reader->OpenMemory(std::vector<std::uint8_t>(data, data + size), path); !s)
        return Error{s.error()};
    return FromTree(ParseMovie(std::move(reader), true));
}

Result<JoinInput> ReadJoinInput(const std::string& path) {
    return FromTree(ParseMovie(path, true));
}

} // namespace kirvano
