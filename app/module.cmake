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

# The language files beside the executables, as the program looks for them.
add_custom_target(vesk_langs ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/data/Langs ${CMAKE_BINARY_DIR}/Langs
  COMMENT "Language files")
add_dependencies(${name} vesk_langs)

# The help pages beside the executables, where the Help button and F1 look.
add_custom_target(vesk_help ALL
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/help ${CMAKE_BINARY_DIR}/help
  COMMENT "Help pages")
add_dependencies(${name} vesk_help)
