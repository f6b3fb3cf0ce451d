#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz/) with clang and runs them.
# Usage: fuzz.sh [--bounded] [--seconds=N] [TARGET...]
#   By default each target runs for --seconds (600) from its seeds and its kept corpus in
#   build/fuzz/corpus/TARGET, which grows from run to run; inputs that crash are kept in
#   build/fuzz/crashes/TARGET.
#   --bounded: the test command's short run: a fixed number of inputs per target (the same ones on
#   every machine: fixed seed, seeds alone as the start, nothing kept), no clock involved. By
#   default it runs the native targets and the i386 start-up target.
# TARGET: settings_reader, conversions, feature_loaders (built for this machine and for i386),
# startup (i386 only); native.NAME or i386.NAME picks one build. Default: all of them.
# The i386 targets need AddressSanitizer to start in a 32-bit process; where i386 programs run
# through a user-mode emulator in which it does not, they are skipped with a message saying so.
set -euo pipefail
cd "$(dirname "$0")/.."

bounded=0
seconds=600
wanted=()
for arg in "$@"; do
  case $arg in
    --bounded) bounded=1 ;;
    --seconds=*) seconds=${arg#--seconds=} ;;
    -*) echo "fuzz.sh: unknown argument $arg" >&2; exit 2 ;;
    *) wanted+=("$arg") ;;
  esac
done

# Inputs per target in the bounded run: each finishes in seconds on a native machine.
declare -A bounded_runs=([settings_reader]=5000 [conversions]=100000 [feature_loaders]=3000 [startup]=300)

root=$PWD
native=build/fuzz-native
i386=build/fuzz-i386
# A tree configured from another source folder starts afresh.
for tree in "$native" "$i386"; do
  if [ -f "$tree/CMakeCache.txt" ] && ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$root/tests/fuzz" "$tree/CMakeCache.txt"; then
    rm -rf "$tree"
  fi
done
echo "fuzz: building the native fuzz targets ($(uname -m))"
cmake -S tests/fuzz -B "$native" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
ninja -C "$native" >/dev/null
echo "fuzz: building the i386 fuzz targets"
cmake -S tests/fuzz -B "$i386" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i386-linux-clang.cmake" >/dev/null
if [ "$bounded" -eq 1 ] && [ ${#wanted[@]} -eq 0 ]; then
  ninja -C "$i386" startup_fuzzer i386_machine >/dev/null  # all the bounded run uses
else
  ninja -C "$i386" >/dev/null
fi

# Seeds: every settings file of the tests and examples; for the conversions, number-like texts.
# Absolute paths throughout: the targets work in a game folder of their own.
seeds=$root/build/fuzz/seeds
rm -rf "$seeds"
mkdir -p "$seeds/settings" "$seeds/conversions"
n=0
for ini in tests/fixtures/settings/*.ini tests/scenarios/*.dir/Nightglass.ini tools/check/fixtures/*.ini \
           examples/*.ini examples/*/*.ini; do
  [ -f "$ini" ] || continue
  n=$((n + 1))
  cp "$ini" "$seeds/settings/$n.ini"
done
i=0
for text in 12 -2147483648 2147483648 " +7x" 1.9 0x10 2.5x 1,5 1e39 1e-45 7e-46 0x1p-150 0x.8p-148 \
            "nan(x)" -inf infinity "255 128 0" "255,128,0" "10 20" "-1 256 1e3" ".5 -.5e1 3." "1e 2"; do
  i=$((i + 1))
  printf '%s' "$text" > "$seeds/conversions/$i"
done
# The targets that read host values from the end of their input get each settings file with a tail
# of such values behind it, so that the whole file reaches the plugin.
mkdir -p "$seeds/with_host"
for ini in "$seeds"/settings/*.ini; do
  { cat "$ini"; printf '\n'; head -c 600 /dev/zero | tr '\0' '\125'; } > "$seeds/with_host/$(basename "$ini")"
done
seed_dir() {
  case $1 in
    conversions) echo "$seeds/conversions" ;;
    settings_reader) echo "$seeds/settings" ;;
    *) echo "$seeds/with_host" ;;
  esac
}

# Whether i386 sanitizer programs start here: a 64-bit kernel runs them natively; through the
# user-mode emulator AddressSanitizer's shadow memory may not be had.
i386_ok=1
i386_probe=$(ASAN_OPTIONS=detect_leaks=0 "$i386/i386_machine" 2>&1) || true
if [ "$i386_probe" != "$(uname -m)" ]; then
  # LeakSanitizer stops the program's threads at exit to look for leaks, which it cannot do through
  # the user-mode emulator: there the program would hang at exit.
  # (the test command may have switched it off already)
  if [[ ":${ASAN_OPTIONS:-}:" != *":detect_leaks=0:"* ]]; then
    export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
    echo "fuzz: i386 programs run through a user-mode emulator here: their leak check is off"
  fi
fi
if ! out=$("$i386/startup_fuzzer" -help=1 2>&1); then
  if [ "$i386_probe" = "$(uname -m)" ]; then
    echo "$out" | tail -n 20 >&2
    echo "fuzz: the i386 fuzz targets do not start on this native machine" >&2
    exit 1
  fi
  i386_ok=0
  echo "fuzz: SKIPPED the i386 fuzz targets (settings_reader, conversions, feature_loaders, startup):"
  echo "      i386 programs run through a user-mode emulator here (they see machine $i386_probe), and"
  echo "      AddressSanitizer does not start in it: $(echo "$out" | grep -m1 -E 'ERROR|Sanitizer|error' || echo "$out" | head -n 1)"
  echo "      The native fuzz targets cover the settings reader, the conversions and the loaders."
fi

# Through the user-mode emulator the i386 start-up target runs many times slower: fewer inputs.
if [ "$i386_ok" -eq 1 ] && [ "$i386_probe" != "$(uname -m)" ]; then
  bounded_runs[startup]=60
  echo "fuzz: i386 programs run through a user-mode emulator here: the bounded start-up run takes ${bounded_runs[startup]} inputs"
fi

targets=()
for name in settings_reader conversions feature_loaders; do targets+=("native.$name"); done
for name in settings_reader conversions feature_loaders startup; do targets+=("i386.$name"); done
selected=()
for t in "${targets[@]}"; do
  if [ ${#wanted[@]} -eq 0 ]; then
    if [ "$bounded" -eq 0 ] || [ "${t%%.*}" = native ] || [ "$t" = i386.startup ]; then selected+=("$t"); fi
    continue
  fi
  for w in "${wanted[@]}"; do
    if [ "$w" = "$t" ] || [ "$w" = "${t#*.}" ]; then selected+=("$t"); fi
  done
done

failed=0
for t in "${selected[@]}"; do
  arch=${t%%.*} name=${t#*.}
  if [ "$arch" = i386 ] && [ "$i386_ok" -eq 0 ]; then continue; fi
  dir=$native; [ "$arch" = i386 ] && dir=$i386
  # The time limit per input only catches hangs; through an emulator an input may take long.
  options=(-seed=1 -timeout=120 -print_final_stats=1)
  # The plugin keeps its star field for the life of the process; once it is unloaded, the leak
  # checker cannot tell that from a leak. The allocation-counting tests check the unload instead.
  [ "$name" = startup ] && options+=(-detect_leaks=0)
  if [ "$bounded" -eq 1 ]; then
    work=$(mktemp -d "$root/build/fuzz-run.XXXXXX")
    corpus=("$work" "$(seed_dir "$name")")
    options+=(-runs="${bounded_runs[$name]}" -artifact_prefix="$work/")
  else
    mkdir -p "$root/build/fuzz/corpus/$t" "$root/build/fuzz/crashes/$t"
    corpus=("$root/build/fuzz/corpus/$t" "$(seed_dir "$name")")
    options+=(-max_total_time="$seconds" -artifact_prefix="$root/build/fuzz/crashes/$t/")
  fi
  log=$(mktemp "$root/build/fuzz-log.XXXXXX")
  status=0
  "$dir/${name}_fuzzer" "${options[@]}" "${corpus[@]}" >"$log" 2>&1 || status=$?
  summary=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 | sed -E 's/^#[0-9]+[[:space:]]+DONE[[:space:]]+//; s/ lim: [0-9]+//; s/ exec\/s: [0-9]+//' || true)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1 s/p' "$log")
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if [ "$status" -ne 0 ]; then
    failed=1
    tail -n 40 "$log" >&2
    echo "fuzz: $t FAILED (exit $status); the input is kept as $(grep -o 'Test unit written to .*' "$log" | head -n 1)" >&2
    if [ "$bounded" -eq 1 ]; then
      rm -rf "build/fuzz-failed-$t"
      cp -r "$work" "build/fuzz-failed-$t"
      echo "fuzz: the failing input is in build/fuzz-failed-$t" >&2
    fi
  else
    echo "fuzz: $t: ${executions:-?} inputs${took:+ in $took}: ${summary:-no summary}"
  fi
  rm -f "$log"
  if [ "$bounded" -eq 1 ]; then rm -rf "$work"; fi
done
exit "$failed"
