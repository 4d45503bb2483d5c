# The end-to-end runs of the real colour toolkit are programs of their own:
# the profile road alone (profile_road_e2e) and the main window driven as a
# user drives it (main_window_e2e) and the crop preview (crop_preview_e2e).
set(app_e2e_tests profile_road_e2e main_window_e2e crop_preview_e2e)
get_target_property(app_test_sources test_${name} SOURCES)
foreach(e2e ${app_e2e_tests})
  list(REMOVE_ITEM app_test_sources ${CMAKE_SOURCE_DIR}/tests/app/${e2e}.cpp)
endforeach()
set_property(TARGET test_${name} PROPERTY SOURCES ${app_test_sources})

foreach(e2e ${app_e2e_tests})
  add_executable(test_${e2e} ${CMAKE_SOURCE_DIR}/tests/app/${e2e}.cpp)
  target_link_libraries(test_${e2e} PRIVATE ${name} GTest::gtest GTest::gtest_main)
  target_compile_definitions(test_${e2e} PRIVATE VESK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME ${e2e} COMMAND test_${e2e})
  set_tests_properties(${e2e} PROPERTIES ENVIRONMENT "VESK_TEST=1" TIMEOUT 600)
endforeach()
