#include "base/HugePages.h"

#include <cstdint>
#include <sys/mman.h>

namespace kirvano {
namespace {

constexpr std::size_t kHuge = kHugePageSize;

std::size_t Rounded(std::size_t bytes) {
    return (bytes + kHuge - 1) & ~(kHuge - 1);
}

} // namespace

void* AllocateLarge(std::size_t bytes) {
    if (bytes < kHuge)
        return ::operator new(bytes);
    const std::size_t size = Rounded(bytes);
    if (size < bytes || size > std::numeric_limits<std::size_t>::max() - kHuge)
        throw std::bad_alloc();
    // Map one huge page more than needed and give back what lies outside the aligned run.
    void* mapped =
        ::mmap(nullptr, size + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (begin + kHuge - 1) & ~(std::uintptr_t{kHuge} - 1);
    if (aligned > begin)
        ::munmap(mapped, aligned - begin);
    if (const std::uintptr_t tail = begin + size + kHuge - (aligned + size); tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + size), tail);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE); // advice only
#endif
    return reinterpret_cast<void*>(aligned);
}

void FreeLarge(void* data, std::size_t bytes) noexcept {
    if (data == nullptr)
        return;
    if (bytes < kHuge)
        ::operator delete(data);
    else
        ::munmap(data, Rounded(bytes));
}

} // namespace kirvano
