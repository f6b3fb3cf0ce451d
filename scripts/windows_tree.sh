# Sourced by the scripts that build the Windows tree. configure_windows_tree configures
# build/windows with the MinGW toolchain file. A tree configured earlier with another compiler (the
# win32-threads variant, before the workbench needed std::thread) is configured afresh: CMake keeps
# the compiler it first found and would go on building with it.
configure_windows_tree() {
  local wanted found file
  wanted=$(sed -n 's/^set(CMAKE_CXX_COMPILER \(.*\))$/\1/p' cmake/mingw-i686.cmake)
  found=
  for file in build/windows/CMakeFiles/*/CMakeCXXCompiler.cmake; do
    [ -f "$file" ] && found=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\(.*\)")$/\1/p' "$file")
  done
  if [ -n "$found" ] && [ "${found##*/}" != "$wanted" ]; then
    echo "build/windows was configured with $found: configuring it afresh for $wanted"
    rm -rf build/windows/CMakeCache.txt build/windows/CMakeFiles
  fi
  cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
}
