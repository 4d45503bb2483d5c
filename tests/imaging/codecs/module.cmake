# The TIFF tests write Modified Huffman files through libtiff's own API (no
# tool writes them).
pkg_check_modules(CODEC_TEST_TIFF REQUIRED IMPORTED_TARGET libtiff-4)
target_link_libraries(test_imaging_codecs PRIVATE PkgConfig::CODEC_TEST_TIFF)
