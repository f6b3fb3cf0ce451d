#!/usr/bin/env bash
# Runs one emulator scenario and compares its trace with the expected one; a difference shows the
# first differing host call. Usage: run_scenario.sh HOSTSIM PLUGIN SCRIPT
set -u
hostsim=$1 plugin=$2 script=$3
base=${script%.script}
args=(--plugin "$plugin")
[ -d "$base.dir" ] && args+=(--dir "$base.dir")
[ -f "$base.args" ] && read -r -a extra < "$base.args" && args+=("${extra[@]}")
actual=$("$hostsim" "${args[@]}" "$script")
status=$?
expected_status=0
[ -f "$base.status" ] && expected_status=$(cat "$base.status")
if [ "$status" -ne "$expected_status" ]; then
  echo "exit status $status, expected $expected_status" >&2
  exit 1
fi
diff -u "$base.expected" <(printf '%s\n' "$actual")
