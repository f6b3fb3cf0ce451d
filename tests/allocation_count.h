// Counts the allocations of the whole test program, plugins loaded into it included, by standing in
// for operator new and delete. Counting is on only inside an AllocationCount's life.
#pragma once

#include <cstddef>

class AllocationCount {
 public:
  AllocationCount();
  ~AllocationCount();
  AllocationCount(const AllocationCount&) = delete;
  AllocationCount& operator=(const AllocationCount&) = delete;

  // operator new calls so far.
  int allocations() const;
  // Those allocations less the deletes (of anything but null) so far.
  int live() const;
  // The most bytes those allocations held at once (as the allocator sized the blocks).
  size_t peak_bytes() const;
};
