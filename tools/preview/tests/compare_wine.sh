#!/usr/bin/env bash
# The Windows preview (nightglass-preview.exe with the real Nightglass.dll, under Wine) must write
# the same pictures, byte for byte, as the Linux one. Usage: compare_wine.sh LINUX_BUILD WINDOWS_BUILD
# (uses WINEPREFIX if set).
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

cases=(
  "--settings example"
  "--settings example --size 1920x1080 --clock 22:40 --timer 123457"
  "--settings lights --camera street --clock 04:50 --timer 250"
  "--settings lights --camera sky --size 333x211"
  "--settings lights --sheet=20:00-02:00/120 --size 160x120"
)
passed=0 failed=0
for i in "${!cases[@]}"; do
  read -r -a args <<<"${cases[$i]}"
  "$linux/nightglass-preview" "${args[@]}" -o "linux-$i.png" >/dev/null 2>linux.err
  linux_status=$?
  timeout 300 wine "$windows/nightglass-preview.exe" "${args[@]}" -o "windows-$i.png" >/dev/null 2>windows.err
  windows_status=$?
  if [ "$linux_status" -ne 0 ] || [ "$windows_status" -ne 0 ] || ! cmp -s "linux-$i.png" "windows-$i.png"; then
    echo "FAIL (${cases[$i]}): Linux exit $linux_status, Windows exit $windows_status, pictures differ"
    sed 's/^/  linux: /' linux.err
    sed 's/^/  windows: /' windows.err
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done
echo "same pictures on Linux and Windows: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
