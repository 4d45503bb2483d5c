# zlib behind the compressed streams.
pkg_check_modules(ZLIB_DEPS REQUIRED IMPORTED_TARGET zlib)
if(sources)
  target_link_libraries(${name} PUBLIC PkgConfig::ZLIB_DEPS)
else()
  target_link_libraries(${name} INTERFACE PkgConfig::ZLIB_DEPS)
endif()
