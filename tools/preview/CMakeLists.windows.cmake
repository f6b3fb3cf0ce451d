# nightglass-preview.exe: the preview for Windows, run beside nightglass-hostsim.exe and the real
# Nightglass.dll. Statically linked (the C++ runtime and zlib too), so that it runs without the
# toolchain's libraries and imports only Windows' own DLLs.
include(${CMAKE_CURRENT_LIST_DIR}/sources.cmake)
# The checker's findings for the report: its sources, without its own main and fuzz target.
file(GLOB NIGHTGLASS_PREVIEW_CHECK_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/check/*.cpp)
list(FILTER NIGHTGLASS_PREVIEW_CHECK_SOURCES EXCLUDE REGEX "/(main|check_fuzz)\\.cpp$")
add_executable(nightglass-preview ${PREVIEW_SOURCES} ${CMAKE_CURRENT_LIST_DIR}/child_windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp ${NIGHTGLASS_PREVIEW_CHECK_SOURCES}
  $<TARGET_OBJECTS:nightglass_objs>)
target_include_directories(nightglass-preview PRIVATE ${CMAKE_SOURCE_DIR} ${NIGHTGLASS_REPORT_PAGE_DIR})
target_include_directories(nightglass-preview SYSTEM PRIVATE ${NIGHTGLASS_ZLIB_INCLUDE})
# Sockets, the shell and COM (to open the browser): Windows' own DLLs. The POSIX-threads runtime that the
# workbench's server needs is linked in with the rest (-static).
target_link_libraries(nightglass-preview PRIVATE ${NIGHTGLASS_ZLIB} ws2_32 shell32 ole32)
target_link_options(nightglass-preview PRIVATE -static -static-libgcc -static-libstdc++ -s)
set_target_properties(nightglass-preview PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(nightglass-preview Nightglass nightglass-hostsim)
