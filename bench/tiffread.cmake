# The peer of the TIFF reading bench, called in-process: libtiff.
pkg_check_modules(TIFF_PEER REQUIRED IMPORTED_TARGET libtiff-4)
target_link_libraries(bench_${n} PRIVATE PkgConfig::TIFF_PEER)
