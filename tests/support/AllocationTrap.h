#pragma once

namespace br::test
{
/** Counts operator new/delete calls made by the current thread while alive.
    Arm it around an audio call to prove the call never touches the heap. */
class AllocationTrap
{
public:
    AllocationTrap();
    ~AllocationTrap();
    AllocationTrap (const AllocationTrap&) = delete;
    AllocationTrap& operator= (const AllocationTrap&) = delete;

    int allocations() const noexcept;
    int deallocations() const noexcept;

private:
    int startAllocations, startDeallocations;
};
} // namespace br::test
