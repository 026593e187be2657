#include "playback/EngineTelemetry.h"

#include <cstdio>
#include <cstring>

namespace kirvano {

bool IsMovieForPlayback(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char head[260];
    const std::size_t n = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return n == sizeof head && std::memcmp(head + 4, "ftyp", 4) == 0;
}

std::optional<MovieTimingForPlayback> ReadTimingForPlayback(EngineTelemetry&, const std::string&) {
    return std::nullopt;
}

} // namespace kirvano
