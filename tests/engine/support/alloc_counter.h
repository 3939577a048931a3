#pragma once

// Counts heap allocations made by the calling thread, to check that audio-thread paths never allocate.
// The test binaries replace the global operator new for this; the count is per thread.

#include <cstddef>

namespace testsupport {

// Allocations made by this thread since it started.
std::size_t ThreadAllocations();

// Allocations made by this thread while the scope is alive.
class AllocationScope
{
public:
  AllocationScope() : mStart(ThreadAllocations()) {}
  std::size_t Count() const { return ThreadAllocations() - mStart; }

private:
  std::size_t mStart;
};

} // namespace testsupport
