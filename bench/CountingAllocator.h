#pragma once

// What the calling thread has allocated so far, counted by the benchmark programs' own malloc,
// calloc and realloc (CountingAllocator.cpp). Counting there rather than in operator new also
// sees Qt's strings and containers, which allocate with malloc: a copy of a receive log's whole
// text would show nowhere else. A growth check compares these, which do not move with the
// machine's load, where the time of the same work does.

#include <cstdint>

struct TAllocationCount
{
    std::uint64_t Calls = 0;
    std::uint64_t Bytes = 0; // what was asked for; a realloc counts its new size, all of which
                             // it may copy
};

TAllocationCount ThisThreadAllocations();

// The allocations of `steps` calls of step, per call, each after an uncounted call of prepare.
template<class Prepare, class Step>
TAllocationCount AllocationsPerStep(int steps, Prepare &&prepare, Step &&step)
{
    TAllocationCount total;
    for (int i = 0; i < steps; ++i) {
        prepare();
        const TAllocationCount before = ThisThreadAllocations();
        step();
        const TAllocationCount after = ThisThreadAllocations();
        total.Calls += after.Calls - before.Calls;
        total.Bytes += after.Bytes - before.Bytes;
    }
    return {total.Calls / static_cast<std::uint64_t>(steps),
            total.Bytes / static_cast<std::uint64_t>(steps)};
}
