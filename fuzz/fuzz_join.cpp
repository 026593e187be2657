// The join's reading of untrusted movies: the box tree taken over, the sample tables
// checked, a second copy appended and the output laid out; and the telemetry block read.
#include "container/JoinDataFile.h"
#include "container/JoinInput.h"
#include "container/JoinMovie.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kirvano;
    (void)TakeTelemetryRecords(ByteRange(data, size));
    auto first = ReadJoinInputFromBytes("first", data, size);
    if (!first)
        return 0;
    auto movie = JoinedMovie::Start(std::move(first.value()));
    if (!movie)
        return 0;
    auto second = ReadJoinInputFromBytes("second", data, size);
    if (second && movie->Append(std::move(second.value())))
        (void)movie->Build();
    return 0;
}
