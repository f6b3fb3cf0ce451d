// Prints the machine name that this 32-bit program is given by the kernel it runs on: a 64-bit
// kernel running it natively says x86_64, a user-mode emulator says i686. The test command uses it
// to say which runner the i386 programs of the test run went through.
#include <sys/utsname.h>

#include <cstdio>

int main() {
  utsname names{};
  if (uname(&names) != 0) return 1;
  std::puts(names.machine);
  return 0;
}
