# The peer of the HD Photo bench: jxrlib, called directly from a file of its
# own (its headers clash with our Windows names).
pkg_check_modules(HDPHOTO_PEER REQUIRED libjxr)
target_sources(bench_${n} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/peers/jxrloop.cpp)
list(TRANSFORM HDPHOTO_PEER_INCLUDE_DIRS PREPEND "-isystem;" OUTPUT_VARIABLE hdphoto_peer_includes)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/peers/jxrloop.cpp PROPERTIES
  COMPILE_OPTIONS "${hdphoto_peer_includes};${HDPHOTO_PEER_CFLAGS_OTHER}")
target_link_libraries(bench_${n} PRIVATE ${HDPHOTO_PEER_LINK_LIBRARIES})
