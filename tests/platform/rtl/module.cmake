# ---- Library loader: test shared objects ----------------------------------
# Two copies of one small library named rtltestlib.so: one beside the test
# program (where LoadLibrary("rtltestlib.dll") looks), one in a sub-folder
# (reached only through a name with that folder).
set(rtl_plugin_subdir ${CMAKE_CURRENT_BINARY_DIR}/rtl-plugins)
foreach(copy beside subfolder)
  add_library(rtltestlib_${copy} MODULE ${CMAKE_SOURCE_DIR}/tests/${dir}/plugin/testlib.c)
  target_compile_definitions(rtltestlib_${copy} PRIVATE TESTLIB_WHERE="${copy}")
  set_target_properties(rtltestlib_${copy} PROPERTIES PREFIX "" OUTPUT_NAME rtltestlib SUFFIX ".so")
  add_dependencies(test_${name} rtltestlib_${copy})
endforeach()
set_target_properties(rtltestlib_beside PROPERTIES LIBRARY_OUTPUT_DIRECTORY $<TARGET_FILE_DIR:test_${name}>)
set_target_properties(rtltestlib_subfolder PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${rtl_plugin_subdir})
target_compile_definitions(test_${name} PRIVATE RTL_TEST_PLUGIN_DIR="${rtl_plugin_subdir}")
# ---- end of the library loader's part ----------------------------------------

# ---- Resources: the tests' own, in a table of their own beside the program's ----
include(${CMAKE_SOURCE_DIR}/cmake/VeskResources.cmake)
vesk_embed_resources(test_${name} TestRtlResources ${CMAKE_SOURCE_DIR}/tests/platform/rtl/resources)
