#include "container/JoinInput.h"

#include "container/ByteRange.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvano {
namespace {

// Reads bytes at an offset of the source: a file or memory.
using ReadAt = std::function<bool(std::uint64_t offset, std::uint8_t* out, std::size_t n)>;

bool IsOpenedType(const std::string& type, int depth) {
    if (depth == 0)
        return type == "moov";
    return type == "trak" || type == "mdia" || type == "minf" || type == "stbl" || type == "edts";
}

bool PrintableType(const std::uint8_t* t) {
    for (int i = 0; i < 4; ++i)
        if (t[i] < 0x20 || t[i] > 0x7e)
            return false;
    return true;
}

// Reads the boxes in [begin, end) at the given depth (0 is the top level).
Status ReadBoxes(const ReadAt& read, std::uint64_t begin, std::uint64_t end, int depth,
                 bool insideMovie, std::vector<JoinBox>& out) {
    std::uint64_t at = begin;
    while (at < end) {
        if (end - at < 8)
            return Failure("a box header is cut off at offset " + std::to_string(at));
        std::uint8_t head[16];
        if (!read(at, head, 8))
            return Failure("cannot read the box header at offset " + std::to_string(at));
        const ByteRange h(head, 16);
        JoinBox box;
        box.offset = at;
        if (!PrintableType(head + 4))
            return Failure("not a box at offset " + std::to_string(at));
        box.type.assign(reinterpret_cast<const char*>(head + 4), 4);
        std::uint64_t size = *h.be32(0);
        if (size == 1) {
            if (end - at < 16 || !read(at + 8, head + 8, 8))
                return Failure("a 64-bit box size is cut off at offset " + std::to_string(at));
            size = *h.be64(8);
            box.headerSize = 16;
        } else if (size == 0) {
            return Failure("a box of size 0 at offset " + std::to_string(at));
        }
        if (size < box.headerSize || size > end - at)
            return Failure("the " + box.type + " box at offset " + std::to_string(at) +
                           " runs past " + (depth == 0 ? "the end of the file" : "its parent"));
        box.payloadSize = size - box.headerSize;
        if (box.type == "moov" && depth == 0 && box.payloadSize > kMaxMovieBox)
            return Failure("the movie box is larger than " + std::to_string(kMaxMovieBox >> 20) +
                           " MiB");
        const bool inMovie = insideMovie || (depth == 0 && box.type == "moov");
        if (IsOpenedType(box.type, depth) && (depth == 0 || insideMovie)) {
            box.opened = true;
            if (Status s = ReadBoxes(read, box.payloadOffset(), at + size, depth + 1, inMovie,
                                     box.children);
                !s)
                return s;
        } else if (box.type != "mdat" &&
                   (inMovie || box.payloadSize <= kMaxLoadedBox ||
                    (box.type == "udat" && box.payloadSize <= kMaxLoadedTelemetry))) {
            box.loaded = true;
            box.payload.resize(box.payloadSize);
            if (box.payloadSize != 0 &&
                !read(box.payloadOffset(), box.payload.data(), box.payload.size()))
                return Failure("cannot read the " + box.type + " box at offset " +
                               std::to_string(at));
        }
        out.push_back(std::move(box));
        at += size;
    }
    return Success();
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
    JoinInput input;
    input.path = path;
    input.fileSize = size;
    const ReadAt read = [&](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
        if (offset > size || n > size - offset)
            return false;
        std::memcpy(out, data + offset, n);
        return true;
    };
    if (Status s = ReadBoxes(read, 0, size, 0, false, input.boxes); !s)
        return Error{s.error()};
    return input;
}

Result<JoinInput> ReadJoinInput(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Failure(std::strerror(errno));
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Failure("not a regular file");
    }
    JoinInput input;
    input.path = path;
    input.fileSize = static_cast<std::uint64_t>(st.st_size);
    const ReadAt read = [fd](std::uint64_t offset, std::uint8_t* out, std::size_t n) {
        while (n > 0) {
            const ssize_t got = ::pread(fd, out, n, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            out += got;
            n -= static_cast<std::size_t>(got);
            offset += static_cast<std::uint64_t>(got);
        }
        return true;
    };
    Status s = ReadBoxes(read, 0, input.fileSize, 0, false, input.boxes);
    ::close(fd);
    if (!s)
        return Error{s.error()};
    return input;
}

} // namespace kirvano
