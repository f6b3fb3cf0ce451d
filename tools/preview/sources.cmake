# The preview's sources that both platforms build (the child process part is per platform).
set(PREVIEW_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/clip.cpp
  ${CMAKE_CURRENT_LIST_DIR}/options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/png.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/render.cpp
  ${CMAKE_CURRENT_LIST_DIR}/report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/scene.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sheet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timeline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/trace.cpp
  ${CMAKE_CURRENT_LIST_DIR}/watch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/why.cpp
  ${CMAKE_CURRENT_LIST_DIR}/workbench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serve.cpp)
# The report's page, compiled in as a string (report.cpp includes report_page.inc).
set(NIGHTGLASS_REPORT_PAGE_DIR ${CMAKE_CURRENT_BINARY_DIR}/report_page)
file(MAKE_DIRECTORY ${NIGHTGLASS_REPORT_PAGE_DIR})
add_custom_command(OUTPUT ${NIGHTGLASS_REPORT_PAGE_DIR}/report_page.inc
  COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_CURRENT_LIST_DIR}/report_page.html
          -DOUT=${NIGHTGLASS_REPORT_PAGE_DIR}/report_page.inc -P ${CMAKE_CURRENT_LIST_DIR}/embed_page.cmake
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/report_page.html ${CMAKE_CURRENT_LIST_DIR}/embed_page.cmake
  COMMENT "Embedding the night report's page")
list(APPEND PREVIEW_SOURCES ${NIGHTGLASS_REPORT_PAGE_DIR}/report_page.inc)
# The plugin's own settings reader, line grammar, number conversion and loaders (for the vehicle
# models and the checker's findings) come with the plugin's objects, and the checker with check_core.
# zlib compresses the pictures: Debian's library for each toolchain, linked statically into the
# Windows program so that it needs no DLL beside it.
if(WIN32)
  find_library(NIGHTGLASS_ZLIB NAMES libz.a REQUIRED)
  find_path(NIGHTGLASS_ZLIB_INCLUDE zlib.h REQUIRED)
else()
  find_package(ZLIB REQUIRED)
  set(NIGHTGLASS_ZLIB ZLIB::ZLIB)
  set(NIGHTGLASS_ZLIB_INCLUDE ${ZLIB_INCLUDE_DIRS})
endif()
# The settings folder that the program finds by default in the build folder.
configure_file(${CMAKE_SOURCE_DIR}/examples/Nightglass.ini ${CMAKE_BINARY_DIR}/examples/Nightglass.ini
  COPYONLY)
# The workbench's HTTP server, cpp-httplib: its whole header from Debian's source package, which
# scripts/setup.sh fetches (Debian's binary package holds a header that needs a library MinGW
# cannot link).
set(NIGHTGLASS_HTTPLIB_DIR ${CMAKE_SOURCE_DIR}/build/third_party/cpp-httplib CACHE PATH
  "The folder holding cpp-httplib's httplib.h")
if(NOT EXISTS ${NIGHTGLASS_HTTPLIB_DIR}/httplib.h)
  message(FATAL_ERROR "cpp-httplib is not in ${NIGHTGLASS_HTTPLIB_DIR}: run bash scripts/setup.sh")
endif()
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/serve.cpp PROPERTIES
  INCLUDE_DIRECTORIES ${NIGHTGLASS_HTTPLIB_DIR})
