# The peer of the drawing bench, linked directly: pixman.
pkg_check_modules(DRAWING_PEERS REQUIRED IMPORTED_TARGET pixman-1)
target_link_libraries(bench_${n} PRIVATE PkgConfig::DRAWING_PEERS)
