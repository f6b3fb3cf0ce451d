// Counts the protection changes the code under test makes, by standing in for mprotect in the test
// program. Counting is on only inside a ProtectionCount's life.
#pragma once

#include <cstdint>
#include <vector>

struct ProtectionChange {
  uintptr_t page;
  int protection;
};

class ProtectionCount {
 public:
  ProtectionCount();
  ~ProtectionCount();
  const std::vector<ProtectionChange>& changes() const;
  // From here on every change is still recorded but refused (mprotect fails with EACCES), as a
  // platform refuses one; until the end of the count.
  void RefuseChanges();
};
