# The release archive for modders, from the Windows build: `cpack` in the build folder (or
# scripts/release.sh) writes Nightglass-VERSION-win32.zip holding
#   Nightglass.dll, Nightglass.ini (the example settings), README.txt (for modders),
#   Nightglass-workbench.cmd (starts the workbench on the game folder's settings with a double-click)
#   tools\  the Windows tools, each with what it needs beside it
# A further Windows tool joins the archive by adding its target to NIGHTGLASS_RELEASE_TOOLS.
set(NIGHTGLASS_RELEASE_TOOLS nightglass-preview nightglass-hostsim nightglass-check)
set(NIGHTGLASS_VERSION 0.1.0)

install(FILES $<TARGET_FILE:Nightglass> ${CMAKE_SOURCE_DIR}/examples/Nightglass.ini
  ${CMAKE_CURRENT_LIST_DIR}/README.txt DESTINATION .)
install(PROGRAMS ${CMAKE_CURRENT_LIST_DIR}/Nightglass-workbench.cmd DESTINATION .)
foreach(tool ${NIGHTGLASS_RELEASE_TOOLS})
  if(TARGET ${tool})
    install(PROGRAMS $<TARGET_FILE:${tool}> DESTINATION tools)
  endif()
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Nightglass)
set(CPACK_PACKAGE_VERSION ${NIGHTGLASS_VERSION})
set(CPACK_PACKAGE_FILE_NAME Nightglass-${NIGHTGLASS_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/release)
include(CPack)
