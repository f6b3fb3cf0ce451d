# The preview's sources that both platforms build (the child process part is per platform).
set(PREVIEW_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/png.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/render.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sheet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/trace.cpp
  # The plugin's own settings reader, line grammar and number conversion, for the vehicle models.
  ${CMAKE_SOURCE_DIR}/settings/convert.cpp
  ${CMAKE_SOURCE_DIR}/settings/line_splitter.cpp
  ${CMAKE_SOURCE_DIR}/settings/reader.cpp)
if(WIN32)
  list(APPEND PREVIEW_SOURCES ${CMAKE_SOURCE_DIR}/platform/settings_file_windows.cpp)
else()
  list(APPEND PREVIEW_SOURCES ${CMAKE_SOURCE_DIR}/platform/settings_file_linux.cpp)
endif()
# The PNG writer: Debian's header-only stb, the same for both toolchains.
set(NIGHTGLASS_STB_DIR /usr/include/stb)
if(NOT EXISTS ${NIGHTGLASS_STB_DIR}/stb_image_write.h)
  message(FATAL_ERROR "stb_image_write.h not found in ${NIGHTGLASS_STB_DIR}: install libstb-dev (scripts/setup.sh)")
endif()
# The settings folder that the program finds by default in the build folder.
configure_file(${CMAKE_SOURCE_DIR}/examples/Nightglass.ini ${CMAKE_BINARY_DIR}/examples/Nightglass.ini
  COPYONLY)
