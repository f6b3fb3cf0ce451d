# The Windows toolchain has no test framework: a self-checking console program runs the settings
# conversions and the reader there (under wine: wine settings_check.exe). It compiles the settings
# sources itself so that it does not depend on the rest of the plugin linking on its own.
file(GLOB NIGHTGLASS_SETTINGS_CHECK_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/../../settings/*.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../../platform/settings_file_windows.cpp)
list(FILTER NIGHTGLASS_SETTINGS_CHECK_SOURCES EXCLUDE REGEX "_linux\\.cpp$")
add_executable(settings_check ${CMAKE_CURRENT_LIST_DIR}/settings_check.cpp
  ${NIGHTGLASS_SETTINGS_CHECK_SOURCES})
target_include_directories(settings_check PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../..)
target_link_options(settings_check PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(settings_check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
