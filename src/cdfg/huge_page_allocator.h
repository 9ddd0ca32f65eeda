// Allocator for the graph's big arrays: blocks of 1 MiB and more are rounded
// up to whole 2 MiB pages, aligned to them and offered to the kernel for
// transparent huge pages, which cuts the page faults of filling hundreds of
// megabytes by a factor of 512 (a fault costs microseconds in a virtual
// machine).
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

template <typename T>
struct HugePageAllocator {
    using value_type = T;
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;
    static constexpr std::size_t kFrom = std::size_t{1} << 20;

    HugePageAllocator() noexcept = default;
    template <typename U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        std::size_t bytes = n * sizeof(T);
        if (bytes < kFrom) {
            if (void* p = ::operator new(bytes, std::nothrow)) return static_cast<T*>(p);
            return static_cast<T*>(::operator new(bytes));  // takes the new-handler path
        }
        std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* p = std::aligned_alloc(kHugePage, rounded);
        if (!p) return static_cast<T*>(::operator new(bytes));  // fails through the new handler
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        ::madvise(p, rounded, MADV_HUGEPAGE);
#endif
        return static_cast<T*>(p);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) < kFrom)
            ::operator delete(p);
        else
            std::free(p);
    }

    template <typename U>
    bool operator==(const HugePageAllocator<U>&) const noexcept { return true; }
};

// The allocator of the graph's node, position, attribute and span arrays: an
// element made without a value keeps the bytes it has. The reader's second
// thread fills storage past an array's end, and growing the array over those
// elements then keeps them instead of clearing them; code that wants a
// cleared element passes one (push_back(T{})).
template <typename T>
struct GraphArrayAllocator : HugePageAllocator<T> {
    template <typename U>
    struct rebind {
        using other = GraphArrayAllocator<U>;
    };
    GraphArrayAllocator() noexcept = default;
    template <typename U>
    GraphArrayAllocator(const GraphArrayAllocator<U>&) noexcept {}

    template <typename U>
    void construct(U*) noexcept {}
    template <typename U, typename First, typename... Rest>
    void construct(U* p, First&& first, Rest&&... rest) {
        ::new (static_cast<void*>(p)) U(std::forward<First>(first), std::forward<Rest>(rest)...);
    }

    template <typename U>
    bool operator==(const GraphArrayAllocator<U>&) const noexcept { return true; }
};
