# The peers of the JPEG and PNG bench, called directly: libjpeg and libpng.
pkg_check_modules(JPEGPNG_PEERS REQUIRED IMPORTED_TARGET libjpeg libpng)
target_link_libraries(bench_${n} PRIVATE PkgConfig::JPEGPNG_PEERS)
