// The box tree of a joined movie as it will be written: boxes with their payload in
// memory, containers, and media boxes whose payload is a chain of byte ranges of the
// source files. Sizes follow from the contents; a box too large for a 32-bit size is
// written with a 64-bit size, and a container can never be (that would be refused).
#pragma once

#include "base/AtomicOutputFile.h"
#include "base/Result.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kirvano {

struct OutSegment {
    int source = 0; // index into the writer's list of open source files
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct OutBox {
    enum class Kind { Bytes, Container, Media };
    std::string type;
    Kind kind = Kind::Bytes;
    std::vector<std::uint8_t> payload; // Bytes
    std::vector<OutBox> children;      // Container
    std::vector<OutSegment> segments;  // Media

    static OutBox Bytes(std::string type, std::vector<std::uint8_t> payload);
    static OutBox Container(std::string type, std::vector<OutBox> children = {});
    static OutBox Media(std::string type, std::vector<OutSegment> segments);
};

inline constexpr std::uint64_t kMax32BoxSize = 0xFFFFFFFFu;

std::uint64_t PayloadSize(const OutBox& box);
// 8, or 16 when the box needs a 64-bit size.
std::uint64_t HeaderSize(const OutBox& box);
std::uint64_t BoxSize(const OutBox& box);
// The whole file: the top-level boxes one after another.
std::uint64_t FileSize(const std::vector<OutBox>& top);
// The file offsets of the payloads of the media boxes, in file order.
std::vector<std::uint64_t> MediaPayloadOffsets(const std::vector<OutBox>& top);
// Fails when a container (or a box inside one) would need a 64-bit size.
Status CheckSizes(const std::vector<OutBox>& top);

// The header of a box: 32-bit size and type, or size 1, type and 64-bit size.
std::vector<std::uint8_t> BoxHeader(const std::string& type, std::uint64_t payloadSize);

struct CopyProgress {
    std::function<bool(std::uint64_t written)> afterWindow; // false cancels
};

// Writes the boxes depth first in order; media segments are copied from sourceFds.
Status WriteBoxes(const std::vector<OutBox>& top, const std::vector<int>& sourceFds,
                  AtomicOutputFile& out, const CopyProgress& progress = {});

} // namespace kirvano
