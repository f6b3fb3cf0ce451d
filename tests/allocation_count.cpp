#include "tests/allocation_count.h"

#include <cstdlib>
#include <new>

namespace {
bool counting = false;
int news = 0;
int deletes = 0;
}  // namespace

AllocationCount::AllocationCount() {
  news = deletes = 0;
  counting = true;
}

AllocationCount::~AllocationCount() { counting = false; }

int AllocationCount::allocations() const { return news; }

int AllocationCount::live() const { return news - deletes; }

// The array forms of the runtime call these; the test program exports them, so a plugin loaded
// into it allocates through them too.
void* operator new(std::size_t size) {
  if (counting) ++news;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
  if (counting && p != nullptr) ++deletes;
  std::free(p);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
