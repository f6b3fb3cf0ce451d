#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's packages. Does nothing when all of it
# is present, so every build command can call it first.
set -euo pipefail

packages=(
  cmake ninja-build g++ g++-multilib
  libgtest-dev:i386 libgmock-dev:i386 libbenchmark-dev:i386 libpng-dev:i386
  g++-mingw-w64-i686
  wine wine32:i386
  valgrind
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}" >&2
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
