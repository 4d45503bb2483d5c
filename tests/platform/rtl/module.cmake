# The tests' own resources, in a table of their own beside the program's.
include(${CMAKE_SOURCE_DIR}/cmake/VeskResources.cmake)
vesk_embed_resources(test_${name} TestRtlResources ${CMAKE_SOURCE_DIR}/tests/platform/rtl/resources)
