#!/usr/bin/env bash
# Packs the release archive from a built Windows tree and checks it: it holds the plugin, the
# example settings, the readme and the Windows tools, and the preview unpacked from it runs under
# Wine as a modder would run it (from the archive's folder, with no options) and writes the same
# picture as the Linux preview of the example settings.
# Usage: check_archive.sh WINDOWS_BUILD LINUX_BUILD (uses WINEPREFIX if set)
set -u
windows=$(realpath "$1") linux=$(realpath "$2")
examples=$(realpath "$(dirname "$0")/../examples")
(cd "$windows" && cpack --config CPackConfig.cmake >/dev/null) || { echo "cpack failed"; exit 1; }
archive=$(ls -t "$windows"/release/Nightglass-*-win32.zip | head -n 1)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
unzip -q "$archive" -d "$scratch" || { echo "cannot unpack $archive"; exit 1; }
top=$(ls "$scratch")
status=0
for entry in Nightglass.dll Nightglass.ini README.txt tools/nightglass-preview.exe tools/nightglass-hostsim.exe tools/nightglass-check.exe; do
  if [ ! -f "$scratch/$top/$entry" ]; then
    echo "FAIL: $entry is not in the archive"
    status=1
  fi
done
cmp -s "$scratch/$top/Nightglass.ini" "$examples/Nightglass.ini" || { echo "FAIL: Nightglass.ini is not the example"; status=1; }
export WINEDEBUG=-all
(cd "$scratch/$top" && timeout 300 wine tools/nightglass-check.exe Nightglass.ini >"$scratch/check" 2>&1) ||
  { echo "FAIL: the archive's checker does not find its own example clean:"; cat "$scratch/check"; status=1; }
(cd "$scratch/$top" && timeout 300 wine tools/nightglass-preview.exe >/dev/null 2>"$scratch/err") ||
  { echo "FAIL: the archive's preview failed:"; cat "$scratch/err"; status=1; }
"$linux/nightglass-preview" --settings "$examples" -o "$scratch/linux.png" >/dev/null
cmp -s "$scratch/$top/nightglass-preview.png" "$scratch/linux.png" ||
  { echo "FAIL: the archive's preview differs from the Linux preview of the example"; status=1; }
[ "$status" -eq 0 ] && echo "release archive $(basename "$archive"): $(unzip -Z1 "$archive" | grep -vc '/$') files, preview runs from it"
exit "$status"
