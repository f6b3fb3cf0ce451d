#!/usr/bin/env bash
# The first command: installs what is missing, builds the plugin, the emulated host and the
# preview (Linux), and writes the preview of the example settings (examples/Nightglass.ini) to
# build/nightglass-preview.png. Arguments go to nightglass-preview, for example
#   bash scripts/preview.sh --clock 23:00 --camera street
#   bash scripts/preview.sh --sheet -o build/night.png
#   bash scripts/preview.sh --settings path/to/game-folder
#   bash scripts/preview.sh --serve          # the workbench: follows the file as it is saved
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/linux -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux.cmake >/dev/null
ninja -C build/linux -j "$(nproc 2>/dev/null || echo 2)" nightglass-preview >/dev/null

output=(-o build/nightglass-preview.png)
settings=(--settings examples)
for arg in "$@"; do
  case $arg in
    # A report names its own file, and the workbench writes none.
    -o | --output | --output=* | --report | --report=* | --serve) output=() ;;
    -s | --settings | --settings=*) settings=() ;;
  esac
done
build/linux/nightglass-preview "${settings[@]}" "${output[@]}" "$@"
