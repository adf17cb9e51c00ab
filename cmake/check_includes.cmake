cmake_minimum_required(VERSION 3.25)
# Run as: cmake -DMODULE=<folder> -DALLOWED=<folders|...> -DSTAMP=<file> -DSOURCES=<files|...> -P check_includes.cmake
# Fails when a source of MODULE includes a project header from a folder that
# is not one of ALLOWED: the layers only ever include downwards.
string(REPLACE "|" ";" ALLOWED "${ALLOWED}")
string(REPLACE "|" ";" SOURCES "${SOURCES}")
set(bad "")
foreach(source IN LISTS SOURCES)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z0-9_]+/")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" header "${line}")
    get_filename_component(folder "${header}" DIRECTORY)
    # A module's own subfolders (platform/linux, platform/win32) are its own.
    string(FIND "${folder}/" "${MODULE}/" own)
    if(NOT folder IN_LIST ALLOWED AND NOT own EQUAL 0)
      string(APPEND bad "\n  ${source}: ${header}")
    endif()
  endforeach()
  # System calls live in platform/ only: the layers above it include no
  # system header (the standard library's and intrinsics' are not such).
  if(MODULE MATCHES "^(report|source|ac3|mpa|extract)$")
    file(STRINGS "${source}" system_lines
         REGEX "^[ \t]*#[ \t]*include[ \t]*<(sys/|linux/|asm/|windows|winioctl|winbase|io\\.h|unistd|fcntl|dirent|pthread|signal\\.h|csignal)")
    foreach(line IN LISTS system_lines)
      string(APPEND bad "\n  ${source}: ${line}")
    endforeach()
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "${MODULE} may include only from ${ALLOWED} and no system header; wrong-way includes:${bad}")
endif()
file(WRITE "${STAMP}" "")
