# 32-bit Linux build with AddressSanitizer and UndefinedBehaviorSanitizer: the plugin, the emulated
# host and the tests as in i386-linux.cmake, every memory error or undefined operation ending the
# program that makes it. Float-to-integer conversions that overflow are checked too; divisions by
# zero are not, since the plugin relies on IEEE arithmetic there.
include(${CMAKE_CURRENT_LIST_DIR}/i386-linux.cmake)
set(sanitize "-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer")
foreach(kind C CXX)
  set(CMAKE_${kind}_FLAGS_INIT "${CMAKE_${kind}_FLAGS_INIT} ${sanitize}")
endforeach()
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "${CMAKE_${kind}_LINKER_FLAGS_INIT} ${sanitize}")
endforeach()
