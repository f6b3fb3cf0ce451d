#!/usr/bin/env bash
# Holds nightglass-check's claims against the plugin in the emulated host over as many damaged
# variants of the example settings as asked (the test command runs twelve): installs what is
# missing, builds the Linux tree's plugin, emulated host and claims test, and prints what held.
#   bash scripts/check_claims.sh 300             # variants from seed 1
#   bash scripts/check_claims.sh 50 --seed 1000  # and other options of check_claims (--only V, --keep DIR)
# Exits 1 when a claim failed.
set -euo pipefail
cd "$(dirname "$0")/.."

variants=${1:-300}
shift || true
bash scripts/setup.sh
cmake -S . -B build/linux -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/i386-linux.cmake >/dev/null
ninja -C build/linux -j "$(nproc 2>/dev/null || echo 2)" check_claims Nightglass nightglass-hostsim >/dev/null
build/linux/tests/check_claims --hostsim build/linux/nightglass-hostsim --plugin build/linux/Nightglass.so \
  --example examples/Nightglass.ini --fixtures tools/check/fixtures --variants "$variants" "$@"
