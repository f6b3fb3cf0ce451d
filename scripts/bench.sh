#!/usr/bin/env bash
# The benchmark command: builds the Linux tree, runs the benchmark suite (bench/) and prints two
# tables of what each scenario's plugin work costs against its reference: the time, measured with
# Google Benchmark, and the instructions of one unit (a frame, a call, a start-up), counted with
# callgrind. Where the i386 programs run through the user-mode emulator, timings mean nothing, so
# only the instruction counts are given.
# Usage: bench.sh [Google Benchmark options, e.g. --benchmark_min_time=1 or --benchmark_filter=...]
#   Without --benchmark_filter only the scenarios of the tables run, not the suite's other
#   benchmarks (the preview's, the settings reader's on odd files).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake -S . -B build/linux -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux.cmake >/dev/null
ninja -C build/linux nightglass_bench i386-machine >/dev/null
bench=build/linux/bench/nightglass_bench

source scripts/i386_runner.sh
i386_runner build/linux/i386-machine

if [ "$i386_native" -eq 1 ]; then
  args=("$@")
  if [[ " $* " != *" --benchmark_filter="* ]]; then args+=("--benchmark_filter=: "); fi
  "$bench" "${args[@]}"
else
  echo "The timed ratios need a machine that runs i386 programs natively; through the emulator"
  echo "only the instruction counts below mean anything."
fi

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Child processes too (the preview's emulated host, in the clip scenario): each gets its own
# profile, named after its process id, which the suite adds to the scenario that ran it.
valgrind --tool=callgrind --trace-children=yes --log-file="$out/valgrind.%p.log" \
  --callgrind-out-file="$out/profile.%p" "$bench" --instructions="$out/profile.%p" || {
  cat "$out"/valgrind.*.log >&2
  exit 1
}
