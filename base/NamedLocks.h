// The process-wide registry of named recursive mutexes. The locks are only ever shared
// inside this process, so a name maps to one mutex that lives as long as the process.
#pragma once

#include <mutex>
#include <string_view>

namespace kirvano {

// Names in use: "hMutexCache", "hMutexCpSet", "hFileMutex", "hCacheFileMutex", "hMutexFind".
std::recursive_mutex& NamedLock(std::string_view name);

} // namespace kirvano
