#!/usr/bin/env bash
# Builds the release archive for modders: installs what is missing, builds the Windows tree
# (Nightglass.dll and the Windows tools) and packs build/windows/release/Nightglass-VERSION-win32.zip
# with CPack (see release/CMakeLists.release.cmake for what goes in).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
source scripts/windows_tree.sh
configure_windows_tree
ninja -C build/windows -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
(cd build/windows && cpack --config CPackConfig.cmake >/dev/null)
archive=$(ls -t build/windows/release/Nightglass-*-win32.zip | head -n 1)
echo "release archive: $PWD/$archive"
