#pragma once
// Replaces the global operator new of the test binary that includes it (once, in one source file)
// with one that counts calls, so a test can prove a stretch of code allocates nothing. Every plain
// and nothrow form is replaced together, so that no block is taken by one allocator and returned
// to another (AddressSanitizer reports such a mismatch). None is inlined: GCC would then see
// malloc() and free() at call sites of the operators it knows as new and delete and warn about
// a mismatch.

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> g_allocations{0};

namespace allocation_counter {
inline void* Take(std::size_t size) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
}  // namespace allocation_counter

[[gnu::noinline]] void* operator new(std::size_t size) {
    if (void* p = allocation_counter::Take(size)) {
        return p;
    }
    throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) {
    if (void* p = allocation_counter::Take(size)) {
        return p;
    }
    throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocation_counter::Take(size);
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocation_counter::Take(size);
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
