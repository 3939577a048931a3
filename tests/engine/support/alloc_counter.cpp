#include "engine/support/alloc_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local std::size_t tAllocations = 0;

void* AllocateOrNull(std::size_t size) noexcept { return ++tAllocations, std::malloc(size ? size : 1); }

void* Allocate(std::size_t size)
{
  if (void* p = AllocateOrNull(size)) return p;
  throw std::bad_alloc();
}
} // namespace

namespace testsupport {
std::size_t ThreadAllocations() { return tAllocations; }
} // namespace testsupport

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// The nothrow forms count too, and must pair with the replaced deletes above.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return AllocateOrNull(size); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
