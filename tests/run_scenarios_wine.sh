#!/usr/bin/env bash
# Runs every emulator scenario (tests/scenarios/NAME.script) under Wine: the Windows emulator with
# the real DLL, with the conventions of run_scenario.sh (NAME.dir is the game folder, NAME.args
# extra arguments, NAME.status the expected exit status, NAME.expected the trace). Where the
# Windows trace differs for a reason of the platform's own, NAME.windows.expected holds it.
# Scenarios that move the image with --base are skipped: the Windows emulator refuses --base,
# which is checked instead. Ends with "N passed, N failed, N skipped"; exits 1 on any failure.
# Usage: run_scenarios_wine.sh [BUILD_DIR]   (default build/windows; uses WINEPREFIX if set)
set -u
cd "$(dirname "$0")/.."
build=${1:-build/windows}
exe=$build/nightglass-hostsim.exe
dll=$build/Nightglass.dll
export WINEDEBUG=-all
prefix=${WINEPREFIX:-$HOME/.wine}

for file in "$exe" "$dll"; do
  if [ ! -f "$file" ]; then
    echo "missing $file" >&2
    exit 1
  fi
done

# The Windows form of a Unix path: drive Z: is the Unix root in a Wine prefix; ask Wine otherwise.
if [ "$(readlink -f "$prefix/dosdevices/z:")" = / ]; then
  winpath() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
  }
else
  winpath() { winepath -w "$1" 2>/dev/null; }
fi

# One Wine process per scenario; a hung run is cut off rather than holding up the test command.
run() { timeout 120 wine "$exe" "$@"; }

passed=0 failed=0 skipped=0
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
fail() {
  echo "FAIL $name: $1"
  [ -s "$errors" ] && sed 's/^/  stderr: /' "$errors"
  failed=$((failed + 1))
}

for script in tests/scenarios/*.script; do
  base=${script%.script}
  name=${base##*/}
  args=(--plugin "$(winpath "$dll")")
  [ -d "$base.dir" ] && args+=(--dir "$(winpath "$base.dir")")
  extra=()
  [ -f "$base.args" ] && read -r -a extra < "$base.args"
  if [[ " ${extra[*]} " == *" --base "* ]]; then
    # The image is the emulator's own executable: --base must be refused as a command-line error.
    run "${args[@]}" "${extra[@]}" "$(winpath "$script")" >/dev/null 2>"$errors"
    status=$?
    if [ "$status" -ne 2 ] || ! grep -q -- "--base" "$errors"; then
      fail "--base should be refused with exit status 2, got $status"
    else
      skipped=$((skipped + 1))
    fi
    continue
  fi
  args+=("${extra[@]}")
  expected=$base.expected
  [ -f "$base.windows.expected" ] && expected=$base.windows.expected
  actual=$(run "${args[@]}" "$(winpath "$script")" 2>"$errors")
  status=$?
  expected_status=0
  [ -f "$base.status" ] && expected_status=$(cat "$base.status")
  if [ "$status" -ne "$expected_status" ]; then
    fail "exit status $status, expected $expected_status"
    continue
  fi
  if ! difference=$(diff -u "$expected" <(printf '%s\n' "$actual")); then
    fail "trace differs from ${expected##*/}"
    printf '%s\n' "$difference" | head -40
    continue
  fi
  passed=$((passed + 1))
done

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
