# The profile run bench builds its 5-megapixel chart photo with libtiff and
# finds the colour toolkit in the build folder's argyll/ links.
pkg_check_modules(TIFF_PEER REQUIRED IMPORTED_TARGET libtiff-4)
target_link_libraries(bench_${n} PRIVATE PkgConfig::TIFF_PEER)
target_compile_definitions(bench_${n} PRIVATE VESK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                              VESK_PROGRAM_FOLDER="${CMAKE_BINARY_DIR}/")
