# 32-bit Windows build with MinGW: the plugin DLL the game loads, the Windows emulated host and the
# tools. The POSIX-threads variant of Debian's MinGW compiler: its C++ runtime has std::thread,
# which the workbench's HTTP server needs (the win32 variant's GCC 12 runtime has none). One
# compiler for the whole tree, since the tools link the plugin's own objects; everything is linked
# statically (-static), winpthreads too, so the DLL and the programs still import only Windows' own
# DLLs (release/check_imports.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
