#!/usr/bin/env bash
# Every program and DLL that goes to modders must run on a plain Windows: each may import only DLLs
# that Windows itself has (zlib and the C++ runtime are linked in). Reads each file's import table
# with the MinGW binutils' objdump and fails naming any other DLL.
# Usage: check_imports.sh FILE...   (exit status 0 when every file imports system DLLs alone)
set -u
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
# Windows' own DLLs that a program may import (in lower case); api-ms-win-* are its API sets.
system_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
  comdlg32.dll comctl32.dll shlwapi.dll version.dll winmm.dll ws2_32.dll wsock32.dll mswsock.dll
  msvcrt.dll ucrtbase.dll ntdll.dll crypt32.dll bcrypt.dll secur32.dll iphlpapi.dll userenv.dll
  psapi.dll dbghelp.dll imm32.dll setupapi.dll rpcrt4.dll "
status=0
for file in "$@"; do
  if ! table=$("$objdump" -p "$file" 2>&1); then
    echo "FAIL: cannot read the import table of $file: $table"
    status=1
    continue
  fi
  dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$table" | tr 'A-Z' 'a-z' | tr -d '\r')
  clean=yes
  for dll in $dlls; do
    case $dll in api-ms-win-*) continue ;; esac
    if [[ $system_dlls != *" $dll "* ]]; then
      echo "FAIL: $(basename "$file") imports $dll, which Windows does not have"
      clean=
      status=1
    fi
  done
  [ -n "$clean" ] && echo "$(basename "$file") imports only Windows' own DLLs: $(echo $dlls)"
done
exit "$status"
