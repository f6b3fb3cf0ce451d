# 32-bit Linux build with clang, for the fuzz targets (tests/fuzz/): clang brings libFuzzer. The
# rest is the gcc build's i386 set-up.
include(${CMAKE_CURRENT_LIST_DIR}/i386-linux.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
