# vesk_sonames(VAR DIRS LIBRARY...)
# Sets VAR to the sonames of the libraries (names as given to the linker,
# without "lib" and ".so", looked for in DIRS first) as a list of C string
# literals, for programs that load them on demand (platform/rtl/ondemand.h).
function(vesk_sonames var dirs)
  set(sonames "")
  foreach(library ${ARGN})
    find_library(vesk_soname_path_${library} NAMES ${library} HINTS ${dirs} REQUIRED)
    execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${vesk_soname_path_${library}} OUTPUT_VARIABLE headers)
    if(NOT headers MATCHES "SONAME +([^\n]+)")
      message(FATAL_ERROR "no SONAME in ${vesk_soname_path_${library}}")
    endif()
    string(APPEND sonames "\"${CMAKE_MATCH_1}\",")
  endforeach()
  set(${var} "${sonames}" PARENT_SCOPE)
endfunction()
