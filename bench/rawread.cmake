# The camera-raw bench loads the plug-in from the top of the build tree and
# runs LibRaw itself as the peer.
target_compile_definitions(bench_rawread PRIVATE VESK_BINARY_DIR="${CMAKE_BINARY_DIR}" VESK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(bench_rawread PRIVATE PkgConfig::LIBRAW)
add_dependencies(bench_rawread dcrawlib)
