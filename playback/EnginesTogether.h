// Calls made inside one EnginesTogether scope act on the engines as one: their pipelines
// pause at one shared moment and start together when the scope ends (once every engine
// has paused and sought), so front and rear keep the same running time through pauses,
// seeks and rate changes, however long each call takes. The scope belongs to the thread
// that opened it.
#pragma once

#include <cstdint>
#include <functional>

namespace kirvano {

class EnginesTogether {
public:
    EnginesTogether();
    ~EnginesTogether();
    EnginesTogether(const EnginesTogether&) = delete;
    EnginesTogether& operator=(const EnginesTogether&) = delete;
};

// The scope this thread is in (nested scopes count as the outermost), 0 outside any.
std::uint64_t CurrentEnginesTogether();

// Runs work when the outermost scope ends, while it still counts as current (at once
// outside any scope).
void AtEndOfEnginesTogether(std::function<void()> work);

} // namespace kirvano
