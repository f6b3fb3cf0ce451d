# 32-bit Linux build with AddressSanitizer and UndefinedBehaviorSanitizer (sanitize_flags.cmake):
# the plugin, the emulated host and the tests as in i386-linux.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/i386-linux.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/sanitize_flags.cmake)
list(JOIN NIGHTGLASS_SANITIZE_FLAGS " " sanitize)
string(APPEND sanitize " -fno-omit-frame-pointer")
foreach(kind C CXX)
  set(CMAKE_${kind}_FLAGS_INIT "${CMAKE_${kind}_FLAGS_INIT} ${sanitize}")
endforeach()
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "${CMAKE_${kind}_LINKER_FLAGS_INIT} ${sanitize}")
endforeach()
