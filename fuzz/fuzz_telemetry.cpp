// The telemetry block decoder and the frame index on arbitrary bytes: nothing may read
// outside the input, and the results must keep their own invariants.
#include "base/ByteRange.h"
#include "telemetry/TelemetryBlock.h"
#include "telemetry/TelemetryReader.h"
#include "telemetry/TelemetryWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kirvano;
    // Exactly the input, so that any read past it is caught.
    std::vector<std::uint8_t> bytes(data, data + size);
    const ByteRange range(bytes.data(), bytes.size());
    TelemetryBlock block;
    const bool ok = ParseTelemetryBlock(range, block);
    if (block.positions.size() != block.samples.size())
        __builtin_trap();
    if (ok && size >= 28 && 28 + block.samples.size() * kTelemetryRecordSize > size)
        __builtin_trap();

    TelemetryReader reader;
    if (!reader.LoadBlock(range, "fuzz"))
        return 0;
    // The frame count and duration come from the input too.
    const std::int64_t frames = size > 0 ? (data[0] % 64) + 1 : 1;
    float duration = 33.333332f;
    if (size >= 4)
        std::memcpy(&duration, data + size - 4, sizeof duration);
    reader.set_frame_duration_ms(duration);
    if (reader.BuildFrameIndex(frames)) {
        for (std::int64_t i = 0; i < frames; ++i) {
            const TelemetrySample* s = reader.SampleAtFrame(i);
            if (s != nullptr && reader.IndexOf(s) < 0)
                __builtin_trap();
            if (s != nullptr && s->position != nullptr && reader.IndexOf(s->position) < 0)
                __builtin_trap();
        }
    }
    return 0;
}
