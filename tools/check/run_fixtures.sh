#!/usr/bin/env bash
# Runs nightglass-check on its fixtures and compares what it prints with what is expected.
# A fixture is NAME.ini, checked as "nightglass-check NAME.ini" inside the fixtures folder, or a
# folder NAME.dir, the current folder of a run without a path. NAME.expected holds the output and
# then "exit N"; NAME.json.expected, when present, the same for --json. A checker ending in .exe is
# run under Wine; the Windows separator in a found file's path is written as "/" for the comparison.
# Usage: run_fixtures.sh CHECKER [NAME...]   (every fixture without NAME; exits 1 on any failure)
set -u
checker=$(realpath "$1")
shift
cd "$(dirname "$0")/fixtures"
run=("$checker")
if [[ $checker == *.exe ]]; then
  export WINEDEBUG=-all
  run=(timeout 120 wine "$checker")
fi

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for expected in *.expected; do
    [[ $expected == *.json.expected ]] || names+=("${expected%.expected}")
  done
fi

# The output of one run, options in "$@", followed by its exit status.
check() {
  local dir=. file=()
  if [ -d "$name.dir" ]; then dir=$name.dir; else file=("$name.ini"); fi
  (cd "$dir" && "${run[@]}" "$@" "${file[@]}" 2>/dev/null; echo "exit $?") |
    sed -E 's#^(plugins|scripts)\\#\1/#'
}

passed=0 failed=0
compare() {
  local expected=$1
  shift
  if difference=$(diff -u "$expected" <(check "$@")); then
    passed=$((passed + 1))
  else
    echo "FAIL $expected"
    printf '%s\n' "$difference"
    failed=$((failed + 1))
  fi
}

for name in "${names[@]}"; do
  compare "$name.expected"
  [ -f "$name.json.expected" ] && compare "$name.json.expected" --json
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
