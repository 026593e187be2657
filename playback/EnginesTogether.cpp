#include "playback/EnginesTogether.h"

#include <atomic>
#include <vector>

namespace kirvano {
namespace {
std::atomic<std::uint64_t> gLastScope{0};
thread_local std::uint64_t tScope = 0;
thread_local int tDepth = 0;
thread_local std::vector<std::function<void()>> tAtEnd;
} // namespace

EnginesTogether::EnginesTogether() {
    if (tDepth++ == 0)
        tScope = ++gLastScope;
}

EnginesTogether::~EnginesTogether() {
    if (--tDepth != 0)
        return;
    ++tDepth; // work that opens a scope of its own stays in this one
    std::vector<std::function<void()>> work = std::move(tAtEnd);
    tAtEnd.clear();
    for (auto& run : work)
        run();
    --tDepth;
    tScope = 0;
}

std::uint64_t CurrentEnginesTogether() {
    return tScope;
}

void AtEndOfEnginesTogether(std::function<void()> work) {
    if (tDepth == 0)
        work();
    else
        tAtEnd.push_back(std::move(work));
}

} // namespace kirvano
