#include "playback/EnginesTogether.h"

#include <atomic>

namespace kirvano {
namespace {
std::atomic<std::uint64_t> gLastScope{0};
thread_local std::uint64_t tScope = 0;
thread_local int tDepth = 0;
} // namespace

EnginesTogether::EnginesTogether() {
    if (tDepth++ == 0)
        tScope = ++gLastScope;
}

EnginesTogether::~EnginesTogether() {
    if (--tDepth == 0)
        tScope = 0;
}

std::uint64_t CurrentEnginesTogether() {
    return tScope;
}

} // namespace kirvano
