# Sourced by the test and benchmark commands: which runner the i386 programs go through. A native
# kernel reports its own machine (x86_64 or i686) to an i386 program; the user-mode emulator always
# reports i686 on a 64-bit kernel.
# i386_runner PROGRAM: PROGRAM is an i386 program that prints the machine it sees (i386-machine);
# prints which runner it is and sets i386_native to 1 (native) or 0 (the user-mode emulator).
i386_runner() {
  local machine
  machine=$("$1")
  if [ "$machine" = "$(uname -m)" ]; then
    i386_native=1
    echo "i386 programs run natively on this kernel ($(uname -m))"
  else
    i386_native=0
    echo "i386 programs run through the user-mode emulator: $(/usr/bin/qemu-i386 --version | head -n 1) (they see machine $machine, the kernel is $(uname -m))"
  fi
}
