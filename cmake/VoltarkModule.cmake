# One static library per folder. A module names the modules it builds on; it
# may include headers of those (and of what they build on) and of no other
# folder, which a check run before its compilation enforces.
#
#   voltark_module(<name> FOLDER <folder> [DEPENDS <module>...] SOURCES <file>...)
#
# The library is voltark_<name>.
function(voltark_module name)
  cmake_parse_arguments(ARG "" "FOLDER" "DEPENDS;SOURCES" ${ARGN})
  set(target voltark_${name})
  add_library(${target} STATIC ${ARG_SOURCES})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  # The whole extraction path runs hot (the reader, the start-code scan and
  # the multiplexer as well as the codecs): -O3 everywhere it is optimised.
  target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O3>)

  set(allowed ${ARG_FOLDER})
  foreach(dep IN LISTS ARG_DEPENDS)
    target_link_libraries(${target} PUBLIC voltark_${dep})
    get_property(dep_allowed GLOBAL PROPERTY VOLTARK_ALLOWED_${dep})
    list(APPEND allowed ${dep_allowed})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  set_property(GLOBAL PROPERTY VOLTARK_ALLOWED_${name} "${allowed}")

  set(files "")
  foreach(source IN LISTS ARG_SOURCES)
    get_filename_component(file "${source}" ABSOLUTE)
    list(APPEND files "${file}")
  endforeach()
  # Lists travel to the script with '|' for ';', which a command line would split.
  string(REPLACE ";" "|" allowed_arg "${allowed}")
  string(REPLACE ";" "|" files_arg "${files}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.includes-checked)
  add_custom_command(
    OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} "-DMODULE=${ARG_FOLDER}" "-DALLOWED=${allowed_arg}" "-DSTAMP=${stamp}"
            "-DSOURCES=${files_arg}" -P ${CMAKE_SOURCE_DIR}/cmake/check_includes.cmake
    DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/check_includes.cmake
    COMMENT "Checking the includes of ${ARG_FOLDER}/"
    VERBATIM)
  add_custom_target(${target}_includes DEPENDS ${stamp})
  add_dependencies(${target} ${target}_includes)
endfunction()
