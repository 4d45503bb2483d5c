# vesk_module(NAME DIR DEPS ...)
# Builds every .cpp directly in DIR into the library NAME, and every .cpp
# under tests/DIR into the test program test_NAME, registered with CTest.
# Files are found by glob, so a new unit needs no edit here.
function(vesk_module name dir)
  cmake_parse_arguments(ARG "" "" "DEPS;TEST_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  set(extra ${CMAKE_SOURCE_DIR}/${dir}/module.cmake)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
  # A folder may add its own packages or generated sources here.
  if(EXISTS ${extra})
    include(${extra})
  endif()

  if(VESK_TESTS)
    file(GLOB_RECURSE tests CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/${dir}/*.cpp)
    if(tests)
      add_executable(test_${name} ${tests})
      target_link_libraries(test_${name} PRIVATE ${name} GTest::gtest GTest::gmock GTest::gtest_main)
      target_compile_definitions(test_${name} PRIVATE
        VESK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        VESK_BINARY_DIR="${CMAKE_BINARY_DIR}")
      set(extra_tests ${CMAKE_SOURCE_DIR}/tests/${dir}/module.cmake)
      if(EXISTS ${extra_tests})
        include(${extra_tests})
      endif()
      gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "VESK_TEST=1")
    endif()
  endif()
endfunction()
