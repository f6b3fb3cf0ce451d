#!/usr/bin/env bash
# The test command: installs what is missing, builds both toolchains and runs every test.
# Usage: test.sh [--i386-runner=qemu]
#   --i386-runner=qemu runs every i386 program (tests, emulated host, Wine) through the user-mode
#   emulator even where the kernel runs them natively, as a kernel without 32-bit support must;
#   the registration is taken back at the end when the kernel can do without it.
set -euo pipefail
cd "$(dirname "$0")/.."

setup_args=()
for arg in "$@"; do
  case $arg in
    --i386-runner=*) setup_args+=("$arg") ;;
    *) echo "test.sh: unknown argument $arg" >&2; exit 2 ;;
  esac
done
release_runner=
if [[ " ${setup_args[*]:-} " == *" --i386-runner=qemu "* || ${NIGHTGLASS_I386_RUNNER:-} == qemu ]]; then
  release_runner=yes
fi
wine_server=
finish() {
  if [ -n "$wine_server" ]; then
    wineserver -k 2>/dev/null || true
  fi
  if [ -n "$release_runner" ]; then
    bash scripts/setup.sh --release-i386-runner
  fi
}
trap finish EXIT

bash scripts/setup.sh "${setup_args[@]}"

jobs=$(nproc 2>/dev/null || echo 2)

# 32-bit Linux: plugin, emulated host, tests.
cmake -S . -B build/linux -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux.cmake >/dev/null
ninja -C build/linux -j "$jobs"

# 32-bit Windows: the DLL the game loads (and the Windows-side checks), so a break there fails too.
source scripts/windows_tree.sh
configure_windows_tree
ninja -C build/windows -j "$jobs"

# Which runner the i386 programs below use.
source scripts/i386_runner.sh
i386_runner build/linux/i386-machine
if [ "$i386_native" -eq 0 ]; then
  # LeakSanitizer stops the program's threads at exit to look for leaks, which it cannot do through
  # the user-mode emulator: a sanitizer program would hang at exit there.
  export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
  echo "  the sanitizer build runs without its leak check here (LeakSanitizer cannot work through it)"
fi

ctest --test-dir build/linux --output-on-failure -j "$jobs"

# The night report and the workbench in a real browser: Debian's Chromium driven by playwright-core,
# which npm installs from the lock file (never a browser of its own); and the workbench's answers to
# hostile requests.
echo "night report and workbench in a browser, workbench against hostile requests:"
if ! command -v npm >/dev/null; then
  echo "npm is missing: the nodejs package should bring it (scripts/setup.sh)" >&2
  exit 1
fi
npm ci --no-audit --no-fund --silent
NIGHTGLASS_PREVIEW=build/linux/nightglass-preview NIGHTGLASS_SCREENSHOTS="$PWD/build/report-screenshots" \
  node --test tools/preview/tests/

# The same plugin, emulated host and tests built with AddressSanitizer and UndefinedBehaviorSanitizer
# (i386), and every test run against them.
cmake -S . -B build/linux-asan -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux-sanitize.cmake \
  -DNIGHTGLASS_BENCH=OFF >/dev/null
ninja -C build/linux-asan -j "$jobs"
if asan_error=$(build/linux-asan/i386-machine 2>&1 >/dev/null); then
  echo "sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer):"
  ctest --test-dir build/linux-asan --output-on-failure -j "$jobs"
elif [ "$i386_native" -eq 1 ]; then
  echo "$asan_error" >&2
  echo "the sanitizer build's programs do not start on this machine" >&2
  exit 1
else
  echo "SKIPPED: the tests of the sanitizer build. Its i386 programs run through the user-mode"
  echo "  emulator here, and AddressSanitizer does not start in it: $(echo "$asan_error" | grep -m1 . || echo "no message")"
  echo "  The fuzz targets below still run the settings reader, conversions and loaders natively."
fi

# Fuzzing, bounded: a fixed number of inputs per target (scripts/fuzz.sh runs them longer).
bash scripts/fuzz.sh --bounded

# The Windows-side checks, run under Wine. The prefix is made or brought up to date first and its
# start-up programs are waited for; then one Wine server stays up for every run below: a server
# that closes on its own between two runs can drop the next run's connection. `wine` is the
# wrapper in scripts/wine-bin, which runs a program again once if that still happens, and says so.
export WINEDEBUG=-all WINEPREFIX="${WINEPREFIX:-$PWD/build/wineprefix}"
export PATH="$PWD/scripts/wine-bin:$PATH" NIGHTGLASS_WINE_LOG="$PWD/build/wine-repeated.log"
rm -f "$NIGHTGLASS_WINE_LOG"
wineserver -k 2>/dev/null || true  # a server left up by an interrupted run would never end
wineboot -u >/dev/null 2>&1
wineserver -w
wineserver -p
wine_server=yes
echo "settings conversions under Wine:"
wine build/windows/settings_check.exe
echo "nightglass-check under Wine:"
bash tools/check/run_fixtures.sh build/windows/nightglass-check.exe

# The emulator scenarios under Wine: the Windows emulator with the real DLL, traces compared.
echo "emulator scenarios under Wine:"
bash tests/run_scenarios_wine.sh build/windows

# The preview for Windows under Wine: bad input answered as on Linux, the same pictures byte for
# byte, and the release archive with a preview that runs from it.
echo "preview under Wine:"
bash tools/preview/tests/bad_input.sh wine build/windows/nightglass-preview.exe
bash tools/preview/tests/compare_wine.sh build/linux build/windows
bash release/check_archive.sh build/windows build/linux

# The Windows workbench under Wine, with the browser on this machine connecting to it. It runs
# through the real wine: the wrapper holds a program's output until it ends, and the tests read the
# address the workbench prints as it starts.
echo "the workbench under Wine, in a browser and against hostile requests:"
real_wine=$(type -ap wine | grep -v "/scripts/wine-bin/" | head -n 1)
NIGHTGLASS_WORKBENCH="$real_wine build/windows/nightglass-preview.exe" \
  NIGHTGLASS_SCREENSHOTS="$PWD/build/report-screenshots/wine" \
  node --test tools/preview/tests/workbench_browser.test.mjs tools/preview/tests/workbench_hostile.test.mjs

if [ -s "$NIGHTGLASS_WINE_LOG" ]; then
  echo "Wine runs repeated after Wine lost its server connection: $(wc -l <"$NIGHTGLASS_WINE_LOG")"
  cat "$NIGHTGLASS_WINE_LOG"
fi
