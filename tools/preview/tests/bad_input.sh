#!/usr/bin/env bash
# Bad input to nightglass-preview: each case must end with its exit status and a message that
# names the problem on standard error, and must write no picture, clip or report, nor leave a
# half-written file; a good file already in place stays as it was. Usage: bad_input.sh COMMAND...
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
  "2|--clip 0|bad clip \`0\`: its length must be more than 0 seconds"
  "2|--clip 10@0|bad clip \`10@0\`: frames a second must be 1 to 60"
  "2|--clip 200@30|clip \`200@30\` would have 6000 frames; at most 3600"
  "2|--clip 0.01@30|is less than one frame"
  "2|--clip ten|bad clip \`ten\`: give SECONDS or SECONDS@FPS"
  "2|--timelapse 19-07|bad timelapse \`19-07\`: give FROM-TO, times as HH:MM"
  "2|--timelapse 19:00-25:00|bad timelapse \`19:00-25:00\`"
  "2|--timelapse 19:00-19:00|its two ends are the same time"
  "2|--timelapse|\`--timelapse\` needs a value"
  "2|--clip --sheet|give --sheet or --clip"
  "2|--clip --size 4000x3000|too large for a clip or a report: at most 1920x1080"
  "2|--report|\`--report\` needs a value"
  "2|--report night.html -o night.png|written to the path given with --report: leave out -o"
  "2|--serve --port 65536|bad port \`65536\`: give 1 to 65535, or 0 for any free port"
  "2|--serve --port x|bad port \`x\`"
  "2|--serve -o night.png|the workbench (--serve) writes no file: leave out -o, --report and --trace"
  "2|--serve --report night.html|the workbench (--serve) writes no file"
  "2|--serve=yes|\`--serve\` takes no value"
  "2|--port 9000|--port and --no-open are for the workbench: give --serve too"
  "2|--no-open --clip 1|give --serve too"
  "1|--serve --no-open --settings missing-folder|cannot read the settings folder missing-folder: it does not exist"
  "1|--settings a-folder --clip 1 -o missing-folder/clip.png|cannot write the clip to missing-folder/clip.png: "
  "1|--settings a-folder --report missing-folder/night.html|cannot write the report to missing-folder/night.html: "
  "1|--settings a-folder --report a-folder|cannot write the report to a-folder: it is a folder"
  "1|--settings a-folder --plugin a-file.txt --clip 1 -o good.png|the emulated host failed (exit status 1)"
  "1|--settings a-folder --plugin a-file.txt --report good.html|the emulated host failed (exit status 1)"
)

# Good files that a failed run must leave as they were.
echo "a good picture" > good.png
echo "a good report" > good.html
passed=0 failed=0
for case in "${cases[@]}"; do
  IFS='|' read -r want args message <<<"$case"
  read -r -a argv <<<"$args"
  "${command[@]}" "${argv[@]}" >/dev/null 2>stderr.txt
  status=$?
  left=$(ls -A . a-folder | grep -Ev '^(a-file.txt|a-folder|stderr.txt|good.png|good.html|\.|a-folder:|\.:|)$')
  if [ "$status" -ne "$want" ] || ! grep -qF -- "$message" stderr.txt || [ -n "$left" ] ||
     [ "$(cat good.png)" != "a good picture" ] || [ "$(cat good.html)" != "a good report" ]; then
    echo "FAIL ($args): exit status $status (want $want), standard error:"
    sed 's/^/  /' stderr.txt
    [ -n "$left" ] && echo "  left behind: $left"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done
echo "bad input: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
