// Large buffers in huge pages where the system gives them on request.
#pragma once

#include <cstddef>
#include <cstdint>
#ifndef _WIN32
#include <sys/mman.h>
#endif

// Asks for huge pages under the whole pages of `size` bytes at `data`. Where
// every 4 KiB page costs a fault of several microseconds, filling a buffer of
// 100 MiB took longer than reading it. Advice only: a refusal changes nothing.
inline void Base_AdviseHugePages(const void *data, size_t size)
{
#ifdef _WIN32
    // Large pages there need a privilege a user rarely holds: no advice to give.
    (void)data;
    (void)size;
#else
    constexpr uintptr_t kPage = 4096;
    const uintptr_t at = reinterpret_cast<uintptr_t>(data);
    const uintptr_t start = (at + kPage - 1) & ~(kPage - 1), end = (at + size) & ~(kPage - 1);
    if (end > start)
        (void)madvise(reinterpret_cast<void *>(start), end - start, MADV_HUGEPAGE);
#endif
}

// Room for `count` elements in `v`, in huge pages when it is large enough for
// them to matter. Call it before the elements are written.
template <typename Vector>
void Base_ReserveLarge(Vector &v, size_t count)
{
    constexpr size_t kLarge = 4u << 20;
    v.reserve(count);
    if (count * sizeof(typename Vector::value_type) >= kLarge)
        Base_AdviseHugePages(v.data(), count * sizeof(typename Vector::value_type));
}
