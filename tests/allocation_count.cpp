#include "tests/allocation_count.h"

#include <malloc.h>

#include <cstdlib>
#include <new>

namespace {
bool counting = false;
int news = 0;
int deletes = 0;
size_t bytes = 0;  // held by the blocks allocated while counting and not yet deleted
size_t peak = 0;
}  // namespace

AllocationCount::AllocationCount() {
  news = deletes = 0;
  bytes = peak = 0;
  counting = true;
}

AllocationCount::~AllocationCount() { counting = false; }

int AllocationCount::allocations() const { return news; }

int AllocationCount::live() const { return news - deletes; }

size_t AllocationCount::peak_bytes() const { return peak; }

// The array forms of the runtime call these; the test program exports them, so a plugin loaded
// into it allocates through them too.
void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (p == nullptr) throw std::bad_alloc();
  if (counting) {
    ++news;
    bytes += malloc_usable_size(p);
    if (bytes > peak) peak = bytes;
  }
  return p;
}

void operator delete(void* p) noexcept {
  if (counting && p != nullptr) {
    ++deletes;
    // A block allocated before the count began is not among the bytes counted.
    const size_t size = malloc_usable_size(p);
    bytes = size < bytes ? bytes - size : 0;
  }
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
