# nightglass-check.exe: the settings file checker for Windows, a static console program like the
# Windows-side checks; its fixtures run under Wine from the test command.
file(GLOB NIGHTGLASS_CHECK_WINDOWS_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
list(FILTER NIGHTGLASS_CHECK_WINDOWS_SOURCES EXCLUDE REGEX "check_fuzz\\.cpp$")
add_executable(nightglass-check ${NIGHTGLASS_CHECK_WINDOWS_SOURCES} $<TARGET_OBJECTS:nightglass_objs>)
target_include_directories(nightglass-check PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(nightglass-check PRIVATE -static -static-libgcc -static-libstdc++ -s)
set_target_properties(nightglass-check PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
