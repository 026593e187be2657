// Feeds arbitrary bytes to the byte search, the box-path walk, the top-level walk and the
// movie timing: none may crash, hang or hand a handler bytes outside the input.
#include "container/Scanners.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

bool Touch(kirvano::MappedFile& reader, kirvano::ByteRange bytes) {
    // Reading every byte lets the address sanitizer see a range that leaves the input.
    unsigned sum = 0;
    for (std::uint8_t b : bytes.span())
        sum += b;
    if (bytes.size() > reader.size())
        std::abort();
    return (sum & 1) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kirvano::MappedFile reader;
    (void)reader.OpenMemory(std::vector<std::uint8_t>(data, data + size), "fuzz.mov");
    for (auto* scan : {&kirvano::FindMarker, &kirvano::FindAtomPath, &kirvano::WalkTopLevel}) {
        kirvano::MarkerSpec spec;
        spec.bytes = scan == &kirvano::WalkTopLevel ? "CSMDAT" : "mvhd";
        spec.handler = Touch;
        const bool ok = scan(reader, spec);
        if (!ok && reader.hits() != 0)
            std::abort();
    }
    (void)kirvano::ReadOpenMovieTiming(reader);
    return 0;
}
