#!/usr/bin/env bash
# Bad input to nightglass-preview: each case must end with its exit status and a message that
# names the problem on standard error, and must write no picture. Usage: bad_input.sh COMMAND...
# (the preview, or e.g. `wine nightglass-preview.exe`). Runs in a scratch folder, with relative
# paths, so that the same cases serve both platforms.
set -u
command=()
for word in "$@"; do
  if [ -e "$word" ]; then command+=("$(realpath "$word")"); else command+=("$word"); fi
done
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
echo "not a folder" > a-file.txt
mkdir a-folder

# status | arguments | what standard error must hold
cases=(
  "1|--settings missing-folder|cannot read the settings folder missing-folder: it does not exist"
  "1|--settings a-file.txt|cannot read the settings folder a-file.txt: it is not a folder"
  "1|--settings a-folder -o missing-folder/picture.png|cannot write the picture to missing-folder/picture.png: "
  "1|--settings a-folder -o a-folder|cannot write the picture to a-folder: it is a folder"
  "1|--settings a-folder --plugin a-file.txt|the emulated host failed (exit status 1)"
  "2|--clock 25:00|bad clock time \`25:00\`: give HH:MM from 00:00 to 23:59"
  "2|--clock noon|bad clock time \`noon\`"
  "2|--clock|\`--clock\` needs a value"
  "2|--size 0x480|picture size \`0x480\` out of range: each side must be 1 to 8192 pixels"
  "2|--size 100000x100000|picture size \`100000x100000\` out of range"
  "2|--size 640|bad picture size \`640\`: give WIDTHxHEIGHT"
  "2|--timer -5|bad timer \`-5\`"
  "2|--camera moon|unknown camera \`moon\`: city, sky or street"
  "2|--sheet=19:00-07:00/0|bad contact sheet \`19:00-07:00/0\`"
  "2|--sheet=00:00-23:59/1|would have 1440 tiles; at most 96"
  "2|--bogus|unknown argument \`--bogus\`"
)

passed=0 failed=0
for case in "${cases[@]}"; do
  IFS='|' read -r want args message <<<"$case"
  read -r -a argv <<<"$args"
  "${command[@]}" "${argv[@]}" >/dev/null 2>stderr.txt
  status=$?
  if [ "$status" -ne "$want" ] || ! grep -qF -- "$message" stderr.txt ||
     ls ./*.png a-folder/*.png >/dev/null 2>&1; then
    echo "FAIL ($args): exit status $status (want $want), standard error:"
    sed 's/^/  /' stderr.txt
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done
echo "bad input: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
