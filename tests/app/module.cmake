# The end-to-end run of the real colour toolkit is a program of its own,
# registered once as profile_road_e2e.
set(profile_e2e ${CMAKE_SOURCE_DIR}/tests/app/profile_road_e2e.cpp)
get_target_property(app_test_sources test_${name} SOURCES)
list(REMOVE_ITEM app_test_sources ${profile_e2e})
set_property(TARGET test_${name} PROPERTY SOURCES ${app_test_sources})

add_executable(test_${name}_e2e ${profile_e2e})
target_link_libraries(test_${name}_e2e PRIVATE ${name} GTest::gtest GTest::gtest_main)
target_compile_definitions(test_${name}_e2e PRIVATE VESK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME profile_road_e2e COMMAND test_${name}_e2e)
set_tests_properties(profile_road_e2e PROPERTIES ENVIRONMENT "VESK_TEST=1" TIMEOUT 600)
