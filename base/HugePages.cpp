#include "base/HugePages.h"

#include <cstdint>
#include <sys/mman.h>

namespace kirvano {

void AdviseHugePages(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t end = (begin + bytes) & ~(kHuge - 1);
    if (data != nullptr && end > first)
        ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE); // advice only
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace kirvano
