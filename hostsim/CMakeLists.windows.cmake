# The emulated host for Windows, run under Wine with the real DLL. The host image is the
# executable's own image: linked statically at the fixed base 0x400000 without relocations, with
# the host pages (os_windows.cpp) as its last section. After linking, the layout is checked: the
# pages must start below the first host address and reach the end of the host image.
file(GLOB HOSTSIM_WINDOWS_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(FILTER HOSTSIM_WINDOWS_SOURCES EXCLUDE REGEX "_linux\\.cpp$")
add_executable(nightglass-hostsim ${HOSTSIM_WINDOWS_SOURCES})
target_include_directories(nightglass-hostsim PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_options(nightglass-hostsim PRIVATE -static -static-libgcc -static-libstdc++ -s
  -Wl,--image-base,0x400000 -Wl,--disable-dynamicbase -Wl,--disable-reloc-section
  -Wl,-T,${CMAKE_CURRENT_LIST_DIR}/image_last.ld)
set_property(TARGET nightglass-hostsim APPEND PROPERTY LINK_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/image_last.ld)
set_target_properties(nightglass-hostsim PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_custom_command(TARGET nightglass-hostsim POST_BUILD
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:nightglass-hostsim>
          -P ${CMAKE_CURRENT_LIST_DIR}/check_windows_layout.cmake
  VERBATIM)
