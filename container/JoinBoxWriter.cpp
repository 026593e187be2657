#include "container/JoinBoxWriter.h"

#include "base/ByteRange.h"

namespace kirvano {
namespace {

void CollectMediaOffsets(const std::vector<OutBox>& boxes, std::uint64_t at,
                         std::vector<std::uint64_t>& out) {
    for (const auto& box : boxes) {
        const std::uint64_t payloadAt = at + HeaderSize(box);
        if (box.kind == OutBox::Kind::Media)
            out.push_back(payloadAt);
        else if (box.kind == OutBox::Kind::Container)
            CollectMediaOffsets(box.children, payloadAt, out);
        at += BoxSize(box);
    }
}

Status CheckInside(const std::vector<OutBox>& boxes) {
    for (const auto& box : boxes) {
        if (HeaderSize(box) != 8)
            return Failure("the " + box.type + " box would be larger than 4 GiB");
        if (box.kind == OutBox::Kind::Container)
            if (Status s = CheckInside(box.children); !s)
                return s;
    }
    return Success();
}

Status WriteList(const std::vector<OutBox>& boxes, const std::vector<int>& fds,
                 AtomicOutputFile& out, const CopyProgress& progress) {
    for (const auto& box : boxes) {
        const auto header = BoxHeader(box.type, PayloadSize(box));
        if (Status s = out.write(header.data(), header.size()); !s)
            return s;
        switch (box.kind) {
        case OutBox::Kind::Bytes:
            if (Status s = out.write(box.payload.data(), box.payload.size()); !s)
                return s;
            break;
        case OutBox::Kind::Container:
            if (Status s = WriteList(box.children, fds, out, progress); !s)
                return s;
            break;
        case OutBox::Kind::Media:
            for (const auto& seg : box.segments) {
                if (seg.source < 0 || static_cast<std::size_t>(seg.source) >= fds.size())
                    return Failure("a media segment names no source");
                const std::uint64_t before = out.written();
                std::function<bool(std::uint64_t)> after;
                if (progress.afterWindow)
                    after = [&](std::uint64_t done) { return progress.afterWindow(before + done); };
                if (Status s = out.copyFrom(fds[static_cast<std::size_t>(seg.source)], seg.offset,
                                            seg.length, after);
                    !s)
                    return s;
            }
            break;
        }
    }
    return Success();
}

} // namespace

OutBox OutBox::Bytes(std::string type, std::vector<std::uint8_t> payload) {
    OutBox b;
    b.type = std::move(type);
    b.kind = Kind::Bytes;
    b.payload = std::move(payload);
    return b;
}

OutBox OutBox::Container(std::string type, std::vector<OutBox> children) {
    OutBox b;
    b.type = std::move(type);
    b.kind = Kind::Container;
    b.children = std::move(children);
    return b;
}

OutBox OutBox::Media(std::string type, std::vector<OutSegment> segments) {
    OutBox b;
    b.type = std::move(type);
    b.kind = Kind::Media;
    b.segments = std::move(segments);
    return b;
}

std::uint64_t PayloadSize(const OutBox& box) {
    std::uint64_t size = 0;
    switch (box.kind) {
    case OutBox::Kind::Bytes:
        size = box.payload.size();
        break;
    case OutBox::Kind::Container:
        for (const auto& c : box.children)
            size += BoxSize(c);
        break;
    case OutBox::Kind::Media:
        for (const auto& s : box.segments)
            size += s.length;
        break;
    }
    return size;
}

std::uint64_t HeaderSize(const OutBox& box) {
    return PayloadSize(box) + 8 > kMax32BoxSize ? 16 : 8;
}

std::uint64_t BoxSize(const OutBox& box) {
    const std::uint64_t payload = PayloadSize(box);
    return payload + (payload + 8 > kMax32BoxSize ? 16 : 8);
}

std::uint64_t FileSize(const std::vector<OutBox>& top) {
    std::uint64_t size = 0;
    for (const auto& b : top)
        size += BoxSize(b);
    return size;
}

std::vector<std::uint64_t> MediaPayloadOffsets(const std::vector<OutBox>& top) {
    std::vector<std::uint64_t> out;
    CollectMediaOffsets(top, 0, out);
    return out;
}

Status CheckSizes(const std::vector<OutBox>& top) {
    for (const auto& box : top) {
        if (box.type.size() != 4)
            return Failure("a box type is not four characters");
        if (box.kind == OutBox::Kind::Container) {
            if (HeaderSize(box) != 8)
                return Failure("the " + box.type + " box would be larger than 4 GiB");
            if (Status s = CheckInside(box.children); !s)
                return s;
        }
    }
    return Success();
}

std::vector<std::uint8_t> BoxHeader(const std::string& type, std::uint64_t payloadSize) {
    std::vector<std::uint8_t> h;
    if (payloadSize + 8 > kMax32BoxSize) {
        h.resize(16);
        PutBe32(h.data(), 1);
        PutBe64(h.data() + 8, payloadSize + 16);
    } else {
        h.resize(8);
        PutBe32(h.data(), static_cast<std::uint32_t>(payloadSize + 8));
    }
    for (int i = 0; i < 4; ++i)
        h[4 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(type[static_cast<std::size_t>(i)]);
    return h;
}

Status WriteBoxes(const std::vector<OutBox>& top, const std::vector<int>& sourceFds,
                  AtomicOutputFile& out, const CopyProgress& progress) {
    if (Status s = CheckSizes(top); !s)
        return s;
    return WriteList(top, sourceFds, out, progress);
}

} // namespace kirvano
