# The peer of the view-painting bench, linked directly: pixman.
pkg_check_modules(VIEWPAINT_PEERS REQUIRED IMPORTED_TARGET pixman-1)
target_link_libraries(bench_${n} PRIVATE PkgConfig::VIEWPAINT_PEERS)
