# The peer of the transitions bench, linked directly: pixman.
pkg_check_modules(TRANSITIONS_PEERS REQUIRED IMPORTED_TARGET pixman-1)
target_link_libraries(bench_${n} PRIVATE PkgConfig::TRANSITIONS_PEERS)
