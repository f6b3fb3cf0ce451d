#!/usr/bin/env bash
# Packs the release archive from a built Windows tree and checks it: it holds the plugin, the
# example settings, the readme and the Windows tools; the DLL and every program import only
# Windows' own DLLs; and the preview unpacked from it runs under Wine as a modder would run it
# (from the archive's folder, with no options) and writes the same picture as the Linux preview of
# the example settings, and makes the clip and the report that the readme shows; its workbench
# launcher, double-clicked in the archive's folder inside a game folder, serves the game folder's
# settings.
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
for entry in Nightglass.dll Nightglass.ini README.txt Nightglass-workbench.cmd tools/nightglass-preview.exe tools/nightglass-hostsim.exe tools/nightglass-check.exe; do
  if [ ! -f "$scratch/$top/$entry" ]; then
    echo "FAIL: $entry is not in the archive"
    status=1
  fi
done
cmp -s "$scratch/$top/Nightglass.ini" "$examples/Nightglass.ini" || { echo "FAIL: Nightglass.ini is not the example"; status=1; }
here=$(dirname "$0")
mapfile -t binaries < <(find "$scratch/$top" -iname '*.exe' -o -iname '*.dll')
bash "$here/check_imports.sh" "${binaries[@]}" || status=1
# The import check itself must refuse a DLL that needs another beside it: the toolchain's own C++
# runtime DLL, which needs its libgcc.
runtime_dll=$(i686-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)
if [ -f "$runtime_dll" ]; then
  bash "$here/check_imports.sh" "$runtime_dll" >/dev/null &&
    { echo "FAIL: the import check lets $runtime_dll through"; status=1; }
fi
for word in "--clip" "--report" "--serve" "Nightglass-workbench.cmd"; do
  grep -q -- "$word" "$scratch/$top/README.txt" || { echo "FAIL: README.txt does not show $word"; status=1; }
done
export WINEDEBUG=-all
(cd "$scratch/$top" && timeout 300 wine tools/nightglass-check.exe Nightglass.ini >"$scratch/check" 2>&1) ||
  { echo "FAIL: the archive's checker does not find its own example clean:"; cat "$scratch/check"; status=1; }
(cd "$scratch/$top" && timeout 300 wine tools/nightglass-preview.exe >/dev/null 2>"$scratch/err") ||
  { echo "FAIL: the archive's preview failed:"; cat "$scratch/err"; status=1; }
"$linux/nightglass-preview" --settings "$examples" -o "$scratch/linux.png" >/dev/null
cmp -s "$scratch/$top/nightglass-preview.png" "$scratch/linux.png" ||
  { echo "FAIL: the archive's preview differs from the Linux preview of the example"; status=1; }
# The readme's clip and report, made in the archive's folder as in a game folder.
(cd "$scratch/$top" && timeout 300 wine tools/nightglass-preview.exe --clip 2 -o clip.png >/dev/null 2>"$scratch/err" &&
  timeout 300 wine tools/nightglass-preview.exe --report night.html --clip 1 >/dev/null 2>>"$scratch/err") ||
  { echo "FAIL: the archive's preview makes no clip or report:"; cat "$scratch/err"; status=1; }
head -c 64 "$scratch/$top/clip.png" 2>/dev/null | grep -aq acTL || { echo "FAIL: the clip is not an animated PNG"; status=1; }
grep -q 'data-part="timeline"' "$scratch/$top/night.html" 2>/dev/null || { echo "FAIL: the report has no timeline"; status=1; }
# The launcher as a modder double-clicks it: the archive unpacked into a folder of its own in a
# game folder that holds its own Nightglass.ini. It runs through the real wine (the wrapper holds a
# program's output until it ends) and is ended as Ctrl-C ends it, by its own process id.
game="$scratch/game"
mkdir -p "$game"
cp -r "$scratch/$top" "$game/"
printf '[MoonSettings]\r\nMoon_Size = 2\r\n' >"$game/Nightglass.ini"
real_wine=$(type -ap wine | grep -v "/scripts/wine-bin/" | head -n 1)
(cd "$game/$top" && exec timeout 300 "$real_wine" cmd /c Nightglass-workbench.cmd --no-open --port 0 \
  >"$scratch/launcher" 2>&1) &
launcher=$!
address=
for _ in $(seq 1 240); do
  address=$(grep -o 'http://127\.0\.0\.1:[0-9]*/' "$scratch/launcher" | head -n 1)
  [ -n "$address" ] && break
  sleep 0.5
done
if [ -z "$address" ]; then
  echo "FAIL: the workbench launcher printed no address:"
  cat "$scratch/launcher"
  status=1
elif ! grep -q "the workbench of [A-Z]:.*\\\\game\\\\Nightglass.ini is at" "$scratch/launcher"; then
  echo "FAIL: the workbench launcher does not serve the game folder's settings:"
  cat "$scratch/launcher"
  status=1
fi
for proc in /proc/[0-9]*; do
  if { tr '\0' ' ' <"$proc/cmdline"; } 2>/dev/null | grep -qF "$top\\tools\\nightglass-preview.exe"; then
    kill -INT "${proc#/proc/}" 2>/dev/null
  fi
done
wait "$launcher"
grep -q "the workbench has ended" "$scratch/launcher" ||
  { echo "FAIL: the workbench launcher's workbench did not end on Ctrl-C:"; cat "$scratch/launcher"; status=1; }
[ "$status" -eq 0 ] && echo "release archive $(basename "$archive"): $(unzip -Z1 "$archive" | grep -vc '/$') files, preview runs from it and makes a clip and a report, its launcher starts the workbench of the game folder"
exit "$status"
