#include "base/NamedLocks.h"

#include <map>
#include <memory>
#include <string>

namespace kirvano {

std::recursive_mutex& NamedLock(std::string_view name) {
    static std::mutex registryLock;
    static std::map<std::string, std::unique_ptr<std::recursive_mutex>, std::less<>> locks;
    std::lock_guard guard(registryLock);
    auto it = locks.find(name);
    if (it == locks.end())
        it = locks.emplace(std::string(name), std::make_unique<std::recursive_mutex>()).first;
    return *it->second;
}

} // namespace kirvano
