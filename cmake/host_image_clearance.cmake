# Keeps the programs of a 32-bit Linux tree clear of the host image. The emulated host maps the
# game's image at 0x400000 inside its own process, so every program is linked at a fixed address
# clear of it (0x8048000, the usual one without PIE): a position-independent program may be placed
# right there, as a user-mode emulator does. Included by the main tree and by the fuzz targets' tree.
add_link_options("$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-no-pie>")

# Checks after linking that every program of the calling directory keeps clear of the host image
# (check_linux_layout.cmake); a program with the property NIGHTGLASS_NO_LAYOUT_CHECK is left out.
# Called at the end of each directory that makes programs.
function(nightglass_check_layouts)
  get_property(targets DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    get_target_property(skip ${target} NIGHTGLASS_NO_LAYOUT_CHECK)
    if(type STREQUAL "EXECUTABLE" AND NOT skip)
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DREADELF=${CMAKE_READELF} -DEXE=$<TARGET_FILE:${target}>
                -P ${NIGHTGLASS_LAYOUT_CHECK}
        VERBATIM)
    endif()
  endforeach()
endfunction()
set(NIGHTGLASS_LAYOUT_CHECK ${CMAKE_CURRENT_LIST_DIR}/check_linux_layout.cmake)
