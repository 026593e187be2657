// Large arrays that are filled once right after they are allocated (decoded telemetry,
// frame tables): backed by huge pages where the kernel offers them on request, filling
// them takes one page fault per 2 MiB instead of one per 4 KiB.
#pragma once

#include <cstddef>
#include <vector>

namespace kirvano {

// Asks for huge pages for the whole 2 MiB pages inside [data, data + bytes); nothing
// happens for smaller ranges or where the system has no such request.
void AdviseHugePages(const void* data, std::size_t bytes);

// Reserves room for count elements and asks for huge pages for it.
template <class T> void ReserveLarge(std::vector<T>& array, std::size_t count) {
    array.reserve(count);
    AdviseHugePages(array.data(), array.capacity() * sizeof(T));
}

} // namespace kirvano
