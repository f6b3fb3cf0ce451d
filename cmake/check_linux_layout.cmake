# Checks that a 32-bit Linux program keeps clear of the host image (cmake -DREADELF=... -DEXE=...
# -P this file): the emulated host maps the game's image at 0x400000-0xACB000 inside its own
# process, so no segment of the program may lie there, and the program must sit at a fixed address
# (a position-independent one may be placed anywhere, a user-mode emulator puts it at 0x400000).
# A failing program is deleted so that the next build links it again (not with -DKEEP=ON).
set(host_start 0x400000)
set(host_end 0xACB000)

function(fail message)
  if(NOT KEEP)
    file(REMOVE ${EXE})
  endif()
  message(FATAL_ERROR "${EXE}: ${message}")
endfunction()

execute_process(COMMAND ${READELF} -lhW ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  fail("readelf failed")
endif()
if(NOT dump MATCHES "Type: +EXEC ")
  fail("not linked at a fixed address (link it with -no-pie), so it may be placed over the host image")
endif()
# LOAD  offset  virtual-address  physical-address  file-size  memory-size ...
string(REGEX MATCHALL "LOAD +0x[0-9a-f]+ +0x[0-9a-f]+ +0x[0-9a-f]+ +0x[0-9a-f]+ +0x[0-9a-f]+" segments "${dump}")
if(NOT segments)
  fail("no loadable segments found")
endif()
foreach(segment ${segments})
  string(REGEX MATCH "LOAD +0x[0-9a-f]+ +0x([0-9a-f]+) +0x[0-9a-f]+ +0x[0-9a-f]+ +0x([0-9a-f]+)" ignored "${segment}")
  math(EXPR start "0x${CMAKE_MATCH_1}")
  math(EXPR end "0x${CMAKE_MATCH_1} + 0x${CMAKE_MATCH_2}")
  if(start LESS ${host_end} AND end GREATER ${host_start})
    math(EXPR start_hex "${start}" OUTPUT_FORMAT HEXADECIMAL)
    math(EXPR end_hex "${end}" OUTPUT_FORMAT HEXADECIMAL)
    fail("a segment at ${start_hex}-${end_hex} overlaps the host image ${host_start}-${host_end}")
  endif()
endforeach()
