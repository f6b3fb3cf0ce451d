#include "tests/allocation_count.h"

#include <cstdlib>
#include <new>

namespace {
int open_counts = 0;
int calls = 0;
}  // namespace

// The runtime's operator delete frees with free(), which matches.
void* operator new(std::size_t size) {
  if (open_counts > 0) ++calls;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

AllocationCount::AllocationCount() : start_(calls) { ++open_counts; }
AllocationCount::~AllocationCount() { --open_counts; }
int AllocationCount::Calls() const { return calls - start_; }
