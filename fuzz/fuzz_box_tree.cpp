// Feeds arbitrary bytes to the movie tree parse, with and without payloads: it may refuse
// them but never read outside them, and every node it keeps lies inside its parent.
#include "container/MovieFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void Check(const kirvano::AtomNode& node, std::uint64_t file_size) {
    const std::uint64_t end = node.offset + node.size;
    if (end < node.offset || end > file_size)
        std::abort();
    if (node.payload && node.payload->size() != node.size)
        std::abort();
    for (const kirvano::AtomNode& child : node.children) {
        if (child.offset < node.offset + 8 || child.offset + child.size > end ||
            child.depth != node.depth + 1)
            std::abort();
        Check(child, file_size);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (bool load : {true, false}) {
        auto reader = std::make_unique<kirvano::MappedFile>();
        (void)reader->OpenMemory(std::vector<std::uint8_t>(data, data + size), "fuzz.mov");
        auto movie = kirvano::ParseMovie(std::move(reader), load);
        if (!movie)
            continue;
        if (movie->root.size != size)
            std::abort();
        for (const kirvano::AtomNode& child : movie->root.children)
            Check(child, size);
        (void)kirvano::VideoSize(movie.value());
        (void)kirvano::FrameCount(movie.value());
        (void)kirvano::FrameRate(movie.value());
    }
    return 0;
}
