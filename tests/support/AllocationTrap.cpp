#include "support/AllocationTrap.h"

#include <cstdlib>
#include <new>

namespace
{
thread_local int armed = 0;
thread_local int allocationCount = 0;
thread_local int deallocationCount = 0;

#if BR_SANITIZER_BUILD
} // namespace

// The sanitizers bring their own operator new and delete (ThreadSanitizer's cannot be
// replaced at all), so the counting happens in their allocation hooks, which see
// malloc as well.
#include <sanitizer/allocator_interface.h>

namespace
{
void countAllocation (const volatile void*, std::size_t)
{
    if (armed > 0)
        ++allocationCount;
}

void countRelease (const volatile void* p)
{
    if (p != nullptr && armed > 0)
        ++deallocationCount;
}

[[maybe_unused]] const int hooksInstalled = __sanitizer_install_malloc_and_free_hooks (countAllocation, countRelease);
} // namespace
#else
void* allocate (std::size_t size)
{
    if (armed > 0)
        ++allocationCount;
    if (auto* p = std::malloc (size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void release (void* p) noexcept
{
    if (p != nullptr && armed > 0)
        ++deallocationCount;
    std::free (p);
}
} // namespace

void* operator new (std::size_t size) { return allocate (size); }
void* operator new[] (std::size_t size) { return allocate (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    try { return allocate (size); } catch (...) { return nullptr; }
}
void operator delete (void* p) noexcept { release (p); }
void operator delete[] (void* p) noexcept { release (p); }
void operator delete (void* p, std::size_t) noexcept { release (p); }
void operator delete[] (void* p, std::size_t) noexcept { release (p); }
#endif

namespace br::test
{
AllocationTrap::AllocationTrap() : startAllocations (allocationCount), startDeallocations (deallocationCount)
{
    ++armed;
}
AllocationTrap::~AllocationTrap() { --armed; }
int AllocationTrap::allocations() const noexcept { return allocationCount - startAllocations; }
int AllocationTrap::deallocations() const noexcept { return deallocationCount - startDeallocations; }
} // namespace br::test
