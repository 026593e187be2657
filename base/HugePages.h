// Large arrays that are filled once right after they are allocated (decoded telemetry,
// frame tables). Memory of 2 MiB and more is mapped on its own, aligned to 2 MiB and
// rounded up to whole 2 MiB, with the request for huge pages: filling it then takes one
// page fault per 2 MiB instead of one per 4 KiB, also at the ends of the array. Smaller
// arrays come from the ordinary heap.
#pragma once

#include <cstddef>
#include <limits>
#include <new>
#include <vector>

namespace kirvano {

inline constexpr std::size_t kHugePageSize = std::size_t{2} << 20;

void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* data, std::size_t bytes) noexcept;

template <class T> struct HugePageAllocator {
    using value_type = T;
    HugePageAllocator() = default;
    template <class U> HugePageAllocator(const HugePageAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(AllocateLarge(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeLarge(p, n * sizeof(T)); }
    friend bool operator==(const HugePageAllocator&, const HugePageAllocator&) { return true; }
};

// A vector on such memory. It converts to an ordinary vector (a copy) for code that keeps
// one, e.g. a track handed to the map.
template <class T> class LargeArray : public std::vector<T, HugePageAllocator<T>> {
public:
    using std::vector<T, HugePageAllocator<T>>::vector;
    operator std::vector<T>() const { return std::vector<T>(this->begin(), this->end()); }
};

} // namespace kirvano
