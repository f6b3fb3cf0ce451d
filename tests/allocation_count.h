// Counts the test program's calls of operator new, so that per-frame code can show that it
// allocates nothing:
//   AllocationCount count;
//   ... frames ...
//   EXPECT_EQ(count.Calls(), 0);
#pragma once

class AllocationCount {
 public:
  AllocationCount();
  ~AllocationCount();
  AllocationCount(const AllocationCount&) = delete;
  AllocationCount& operator=(const AllocationCount&) = delete;

  // Calls of operator new since this count began (while it lives).
  int Calls() const;

 private:
  int start_;
};
