#!/usr/bin/env bash
# The Windows preview (nightglass-preview.exe with the real Nightglass.dll, under Wine) must write
# the same pictures and clips, byte for byte, as the Linux one, and the same night report but for
# the paths it names. Usage: compare_wine.sh LINUX_BUILD WINDOWS_BUILD (uses WINEPREFIX if set).
set -u
linux=$(realpath "$1") windows=$(realpath "$2")
examples=$(realpath "$(dirname "$0")/../../../examples")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
export WINEDEBUG=-all

# The example, and the example with its vehicle sections switched on and a point light.
mkdir example lights
cp "$examples/Nightglass.ini" example/
sed -e 's/^\[Veh_off_/[Veh_/' -e 's/^EnablePointLight = 0/EnablePointLight = 1/' \
    -e 's/^1-CustomLight_Color = .*/&\n1-CustomLight_PointLightBrightness = 2/' \
    "$examples/Nightglass.ini" > lights/Nightglass.ini

# The output file's option last: -o for pictures and clips, --report for the report.
cases=(
  "--settings example -o"
  "--settings example --size 1920x1080 --clock 22:40 --timer 123457 -o"
  "--settings lights --camera street --clock 04:50 --timer 250 -o"
  "--settings lights --camera sky --size 333x211 -o"
  "--settings lights --sheet=20:00-02:00/120 --size 160x120 -o"
  "--settings example --clip 4@15 --clock 23:00 -o"
  "--settings lights --timelapse 19:30-05:30 --clip 2@10 --size 320x180 -o"
  "--settings lights --clip 2@10 --sheet=22:00-02:00/120 --size 320x180 --report"
)
# A report names its settings file and folder, which differ between the two: those are blanked.
same_but_paths() {
  cmp -s <(sed -E 's/"(path|folder)":"[^"]*"/"\1":""/g' "$1") <(sed -E 's/"(path|folder)":"[^"]*"/"\1":""/g' "$2")
}
passed=0 failed=0
for i in "${!cases[@]}"; do
  read -r -a args <<<"${cases[$i]}"
  out=png
  [ "${args[-1]}" = --report ] && out=html
  "$linux/nightglass-preview" "${args[@]}" "linux-$i.$out" >/dev/null 2>linux.err
  linux_status=$?
  timeout 300 wine "$windows/nightglass-preview.exe" "${args[@]}" "windows-$i.$out" >/dev/null 2>windows.err
  windows_status=$?
  same=yes
  if [ "$out" = html ]; then
    same_but_paths "linux-$i.$out" "windows-$i.$out" || same=
    grep -q '"path":"[^"]*\\\\' "windows-$i.$out" || { echo "the Windows report names no Windows path"; same=; }
  else
    cmp -s "linux-$i.$out" "windows-$i.$out" || same=
  fi
  if [ "$linux_status" -ne 0 ] || [ "$windows_status" -ne 0 ] || [ -z "$same" ]; then
    echo "FAIL (${cases[$i]}): Linux exit $linux_status, Windows exit $windows_status, outputs differ"
    sed 's/^/  linux: /' linux.err
    sed 's/^/  windows: /' windows.err
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done
echo "same pictures, clips and reports on Linux and Windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
