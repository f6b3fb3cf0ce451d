# nightglass-preview.exe: the preview for Windows, run beside nightglass-hostsim.exe and the real
# Nightglass.dll. Statically linked, so that it runs without the toolchain's libraries.
include(${CMAKE_CURRENT_LIST_DIR}/sources.cmake)
add_executable(nightglass-preview ${PREVIEW_SOURCES} ${CMAKE_CURRENT_LIST_DIR}/child_windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_include_directories(nightglass-preview PRIVATE ${CMAKE_SOURCE_DIR})
target_include_directories(nightglass-preview SYSTEM PRIVATE ${NIGHTGLASS_STB_DIR})
target_link_options(nightglass-preview PRIVATE -static -static-libgcc -static-libstdc++ -s)
set_target_properties(nightglass-preview PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(nightglass-preview Nightglass nightglass-hostsim)
