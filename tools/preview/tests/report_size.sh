#!/usr/bin/env bash
# The night report of the example settings, as a modder makes it (the defaults: a 10 s clip at 30
# frames a second, 640x360), stays under 5 MB. Usage: report_size.sh PREVIEW EXAMPLES_FOLDER
set -u
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$1" --settings "$2" --report "$scratch/night.html" >/dev/null 2>"$scratch/err" ||
  { echo "the report failed:"; cat "$scratch/err"; exit 1; }
size=$(wc -c <"$scratch/night.html")
echo "the example's night report: $size bytes"
[ "$size" -lt 5000000 ]
