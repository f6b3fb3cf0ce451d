#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's packages, and makes sure this machine
# runs the 32-bit (i386) programs that the build makes. Does nothing when all of it is present, so
# every build command can call it first.
#
# Usage: setup.sh [--i386-runner=auto|qemu] [--release-i386-runner]
#   auto (default): i386 programs run natively where the kernel can run them; only where it cannot
#        is a user-mode i386 emulator (qemu-i386) installed and registered with binfmt_misc.
#   qemu: register the user-mode emulator even where the kernel runs i386 natively, so that a
#        native machine can exercise the path that a 64-bit-only kernel takes. Also set by
#        NIGHTGLASS_I386_RUNNER=qemu.
#   --release-i386-runner: remove our binfmt_misc entry again, but only if i386 programs then
#        still run natively (used after a forced run; a kernel that needs the emulator keeps it).
set -euo pipefail

runner=${NIGHTGLASS_I386_RUNNER:-auto}
release=0
for arg in "$@"; do
  case $arg in
    --i386-runner=auto | --i386-runner=qemu) runner=${arg#--i386-runner=} ;;
    --release-i386-runner) release=1 ;;
    *) echo "setup: unknown argument $arg (see the comment at the top of $0)" >&2; exit 2 ;;
  esac
done
case $runner in auto | qemu) ;; *) echo "setup: NIGHTGLASS_I386_RUNNER must be auto or qemu" >&2; exit 2 ;; esac

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

binfmt=/proc/sys/fs/binfmt_misc
entry_name=nightglass-i386
entry=$binfmt/$entry_name

# Runs a 96-byte static i386 program (no libraries: exit(42) through int 0x80). Success means the
# kernel, natively or through a registered emulator, runs i386 programs. The program is written
# byte by byte so that nothing needs to be installed to ask the question.
runs_i386() {
  local probe status dir
  # Inside the project's build folder rather than /tmp, which may be mounted without exec rights.
  dir="$(dirname "$0")/../build"
  mkdir -p "$dir"
  probe=$(mktemp "$dir/i386-probe.XXXXXX")
  # ELF header: 32-bit, little-endian, executable for i386, entry 0x8048054, one program header.
  printf '\177\105\114\106\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
  printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000' >>"$probe"
  printf '\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000' >>"$probe"
  # Program header: PT_LOAD of the whole 96 bytes at 0x8048000, read+execute.
  printf '\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010' >>"$probe"
  printf '\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000' >>"$probe"
  # Code: mov eax, 1; mov ebx, 42; int 0x80 (exit(42)).
  printf '\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' >>"$probe"
  chmod +x "$probe"
  status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}

# apt-get with the package lists brought up to date first. A mirror caught between two syncs serves
# an index whose size its release file does not list ("Mirror sync in progress?"), and apt then
# leaves that list out: packages of one architecture would come from another suite than those of
# the other, and multiarch pairs would not install. The update is tried again a few times; if only
# a security suite still fails, the packages come from the other suites alone, which hold versions
# of every package that agree across architectures.
apt_options=()
apt_update() {
  local log attempt
  log=$(mktemp)
  for attempt in 1 2 3; do
    if $sudo apt-get update -qq "${apt_options[@]}" >"$log" 2>&1 && ! grep -q '^E:' "$log"; then
      rm -f "$log"
      return 0
    fi
    [ "$attempt" -lt 3 ] && sleep 15
  done
  if grep '^E: Failed to fetch' "$log" | grep -qv -- '-security/'; then
    cat "$log" >&2
    rm -f "$log"
    echo "setup: the package lists could not be brought up to date" >&2
    exit 1
  fi
  echo "setup: a security suite's package list is out of step with its mirror; installing from the other suites:" >&2
  grep '^E: Failed to fetch' "$log" | sed 's/^/  /' >&2
  rm -f "$log"
  local parts
  parts=$(mktemp -d)
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -e "$file" ] || continue
    # deb822 stanzas are separated by blank lines; the one naming a security suite is left out.
    awk 'BEGIN { RS = ""; ORS = "\n\n" } !/Suites:[^\n]*-security/' "$file" >"$parts/$(basename "$file")"
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$file" ] || continue
    grep -v -- '-security' "$file" >"$parts/$(basename "$file" | sed 's/^sources\.list$/main.list/')" || true
  done
  apt_options=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$parts")
  $sudo apt-get update -qq "${apt_options[@]}"
}
# Never removes a package to make room: a removal would take the compilers with it when the two
# architectures' lists disagree, so apt fails instead.
apt_install() {
  $sudo apt-get install -y -qq --no-install-recommends --no-remove "${apt_options[@]}" "$@" >&2
}

binfmt_mounted() { [ -e "$binfmt/register" ]; }

if [ "$release" -eq 1 ]; then
  [ -e "$entry" ] || exit 0
  echo 0 | $sudo tee "$entry" >/dev/null
  if runs_i386; then
    echo -1 | $sudo tee "$entry" >/dev/null
    echo "setup: removed the binfmt_misc entry $entry_name; i386 programs run natively again" >&2
  else
    echo 1 | $sudo tee "$entry" >/dev/null
  fi
  exit 0
fi

# qemu-i386 10 or later: older versions (Debian 12's own 7.2) report the host's view of guest pages
# in /proc/self/maps, where code pages read r--, so restoring a page's protection from there would
# make the host's code non-executable. Debian 12 has version 10 in its backports.
qemu_good() {
  local version
  [ -x /usr/bin/qemu-i386 ] || return 1
  version=$(/usr/bin/qemu-i386 --version | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p')
  [ -n "$version" ] && [ "$version" -ge 10 ]
}

install_qemu() {
  qemu_good && return 0
  local suite=()
  if [ "$(. /etc/os-release && echo "${VERSION_CODENAME:-}")" = bookworm ]; then
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
      printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
        $sudo tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
    fi
    suite=(-t bookworm-backports)
  fi
  echo "setup: installing qemu-user ${suite[*]}" >&2
  apt_update
  apt_install "${suite[@]}" qemu-user
  if ! qemu_good; then
    echo "setup: qemu-i386 10 or later is needed to run the i386 programs here; got: $(/usr/bin/qemu-i386 --version 2>&1 | head -n 1)" >&2
    exit 1
  fi
}

# Registers qemu-i386 for i386 ELF programs. The flag F opens the interpreter now, so it is found
# from any mount namespace or chroot (Wine's, for one). binfmt_misc entries are consulted before the
# kernel's own ELF loader, so the entry also takes over where the kernel could run i386 itself.
register_qemu() {
  if ! binfmt_mounted; then
    $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
  fi
  if [ -e "$entry" ]; then
    echo 1 | $sudo tee "$entry" >/dev/null
    return 0
  fi
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo "setup: registering /usr/bin/qemu-i386 for i386 programs (binfmt_misc entry $entry_name)" >&2
  printf ':%s:M::%s:%s:/usr/bin/qemu-i386:F' "$entry_name" "$magic" "$mask" | $sudo tee "$binfmt/register" >/dev/null
}

if [ "$runner" = qemu ] || ! runs_i386; then
  install_qemu
  register_qemu
  if ! runs_i386; then
    echo "setup: i386 programs still do not run after registering qemu-i386 with binfmt_misc" >&2
    exit 1
  fi
fi

packages=(
  cmake ninja-build g++ g++-multilib
  libgtest-dev:i386 libgmock-dev:i386 libbenchmark-dev:i386 libstb-dev
  # zlib for the preview's PNG and clip writer: the i386 library, and MinGW's, linked statically.
  zlib1g-dev:i386 libz-mingw-w64-dev
  g++-mingw-w64-i686
  wine wine32:i386
  valgrind
  # The sanitizer build uses g++-multilib's own 32-bit sanitizer runtimes; the fuzz targets need
  # clang and its runtimes (libFuzzer and the sanitizers, for x86_64 and i386 alike).
  clang libclang-rt-14-dev
  # The night report's browser test: Debian's Chromium, driven by playwright-core from npm
  # (this machine's nodejs package brings npm with it).
  chromium nodejs
  # The workbench (nightglass-preview --serve): MinGW's POSIX-threads compiler, whose C++ runtime
  # has std::thread for the HTTP server; dpkg-dev unpacks the server library's source package.
  g++-mingw-w64-i686-posix dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  apt_update
  apt_install "${missing[@]}"
fi

# cpp-httplib, the workbench's HTTP server. Debian's binary package splits it into a header of
# declarations and a shared object for the machine's own architectures, which MinGW cannot link;
# Debian's source package holds the library's whole single header (with Debian's patches applied
# by dpkg-source), which both toolchains compile in. It is fetched once into build/third_party with
# apt-get source, through package lists of its own so that the machine's apt setup is left as it
# is: the machine's own deb lines, read as deb-src.
httplib_dir="$(cd "$(dirname "$0")/.." && pwd)/build/third_party/cpp-httplib"
if [ ! -f "$httplib_dir/httplib.h" ]; then
  echo "setup: fetching Debian's source package cpp-httplib into $httplib_dir" >&2
  work=$(mktemp -d)
  mkdir -p "$work/parts" "$work/lists/partial" "$work/cache/archives/partial" "$work/source"
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -e "$file" ] || continue
    sed 's/^Types:.*/Types: deb-src/' "$file" >"$work/parts/$(basename "$file")"
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$file" ] || continue
    sed -n 's/^deb /deb-src /p' "$file" >"$work/parts/$(basename "$file" | sed 's/^sources\.list$/main.list/')"
  done
  source_options=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$work/parts"
    -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o "APT::Sandbox::User=root")
  if ! (apt-get update -qq "${source_options[@]}" && cd "$work/source" &&
        apt-get source -qq "${source_options[@]}" cpp-httplib) >"$work/log" 2>&1 ||
     ! header=$(ls "$work"/source/cpp-httplib-*/httplib.h 2>/dev/null | head -n 1) || [ -z "$header" ]; then
    cat "$work/log" >&2
    rm -rf "$work"
    echo "setup: cannot fetch the source package cpp-httplib" >&2
    exit 1
  fi
  mkdir -p "$httplib_dir"
  cp "$header" "$(dirname "$header")/LICENSE" "$httplib_dir/"
  (cd "$(dirname "$header")" && dpkg-parsechangelog -S Version) >"$httplib_dir/VERSION"
  rm -rf "$work"
  echo "setup: cpp-httplib $(cat "$httplib_dir/VERSION")" >&2
fi
