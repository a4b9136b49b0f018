#include "CountingAllocator.h"

#include <cstddef>

// glibc's own allocator, which these hand every request to; free, memalign and the rest stay
// glibc's, since the blocks are glibc's alike.
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
}

namespace {
// Of this thread alone: the other threads of a benchmark (Qt's, the queue's) are not what it
// measures, and a plain thread-local count takes no lock inside malloc.
constinit thread_local TAllocationCount Counted;

void Count(std::size_t bytes)
{
    ++Counted.Calls;
    Counted.Bytes += bytes;
}
} // namespace

TAllocationCount ThisThreadAllocations()
{
    return Counted;
}

extern "C" {
void *malloc(std::size_t size)
{
    Count(size);
    return __libc_malloc(size);
}

void *calloc(std::size_t count, std::size_t size)
{
    Count(count * size);
    return __libc_calloc(count, size);
}

void *realloc(void *block, std::size_t size)
{
    Count(size);
    return __libc_realloc(block, size);
}
}
