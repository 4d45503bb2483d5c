# The colour toolkit beside the executables: argyll/bin, argyll/ref and
# argyll/doc in the build folder, where the program and the test programs
# land, are links to Debian's argyll, argyll-ref and argyll-doc packages.
set(vesk_argyll ${CMAKE_BINARY_DIR}/argyll)
file(MAKE_DIRECTORY ${vesk_argyll}/bin)
foreach(tool scanin colprof profcheck)
  file(CREATE_LINK /usr/bin/${tool} ${vesk_argyll}/bin/${tool} SYMBOLIC)
endforeach()
file(CREATE_LINK /usr/share/color/argyll/ref ${vesk_argyll}/ref SYMBOLIC)
file(CREATE_LINK /usr/share/doc/argyll-doc ${vesk_argyll}/doc SYMBOLIC)

# A folder of data copied beside the executables, file by file: a start
# with nothing changed copies nothing.
function(vesk_copy_folder target from to)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS RELATIVE ${from} ${from}/*)
  set(copies)
  foreach(file ${files})
    add_custom_command(OUTPUT ${to}/${file}
      COMMAND ${CMAKE_COMMAND} -E copy ${from}/${file} ${to}/${file}
      DEPENDS ${from}/${file})
    list(APPEND copies ${to}/${file})
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${copies})
endfunction()

# The language files beside the executables, as the program looks for them.
vesk_copy_folder(vesk_langs ${CMAKE_SOURCE_DIR}/data/Langs ${CMAKE_BINARY_DIR}/Langs)
add_dependencies(${name} vesk_langs)

# The help pages beside the executables, where the Help button and F1 look.
vesk_copy_folder(vesk_help ${CMAKE_SOURCE_DIR}/help ${CMAKE_BINARY_DIR}/help)
add_dependencies(${name} vesk_help)
