# zlib behind the compressed streams.
pkg_check_modules(ZLIB_DEPS REQUIRED IMPORTED_TARGET zlib)
if(sources)
  target_link_libraries(${name} PUBLIC PkgConfig::ZLIB_DEPS)
else()
  target_link_libraries(${name} INTERFACE PkgConfig::ZLIB_DEPS)
endif()

# libcrypto's MD5 names the extended XMP of a JPEG file. The library is large
# and seldom needed: it is loaded when a digest is first made.
pkg_check_modules(CRYPTO_DEPS REQUIRED IMPORTED_TARGET libcrypto)
target_include_directories(${name} SYSTEM PRIVATE ${CRYPTO_DEPS_INCLUDE_DIRS})
include(${CMAKE_SOURCE_DIR}/cmake/VeskSonames.cmake)
vesk_sonames(crypto_sonames "${CRYPTO_DEPS_LIBRARY_DIRS}" crypto)
set_source_files_properties(${CMAKE_SOURCE_DIR}/imaging/core/ruduvazez_xmp.cpp PROPERTIES COMPILE_DEFINITIONS
  "VESK_CRYPTO_SONAMES=${crypto_sonames}")
