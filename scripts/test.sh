#!/usr/bin/env bash
# The test command: installs what is missing, builds both toolchains and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)

# 32-bit Linux: plugin, emulated host, tests.
cmake -S . -B build/linux -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux.cmake >/dev/null
ninja -C build/linux -j "$jobs"

# 32-bit Windows: the DLL the game loads (and the Windows-side checks), so a break there fails too.
cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
ninja -C build/windows -j "$jobs"

ctest --test-dir build/linux --output-on-failure -j "$jobs"

# The Windows-side checks, run under Wine.
export WINEDEBUG=-all WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
echo "settings conversions under Wine:"
wine build/windows/settings_check.exe

# The emulator scenarios under Wine: the Windows emulator with the real DLL, traces compared.
echo "emulator scenarios under Wine:"
bash tests/run_scenarios_wine.sh build/windows
