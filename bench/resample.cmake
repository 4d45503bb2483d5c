# The peers of the resampling and blur bench, called in-process: libvips and
# ImageMagick 6's MagickCore.
pkg_check_modules(RESAMPLE_PEERS REQUIRED IMPORTED_TARGET vips MagickCore)
target_link_libraries(bench_${n} PRIVATE PkgConfig::RESAMPLE_PEERS)
