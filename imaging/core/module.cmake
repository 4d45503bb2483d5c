# zlib behind the compressed streams.
pkg_check_modules(ZLIB_DEPS REQUIRED IMPORTED_TARGET zlib)
if(sources)
  target_link_libraries(${name} PUBLIC PkgConfig::ZLIB_DEPS)
else()
  target_link_libraries(${name} INTERFACE PkgConfig::ZLIB_DEPS)
endif()

# libcrypto's MD5 names the extended XMP of a JPEG file.
pkg_check_modules(CRYPTO_DEPS REQUIRED IMPORTED_TARGET libcrypto)
if(sources)
  target_link_libraries(${name} PUBLIC PkgConfig::CRYPTO_DEPS)
else()
  target_link_libraries(${name} INTERFACE PkgConfig::CRYPTO_DEPS)
endif()
