# libdeflate inflates whole TIFF deflate strips in one call.
pkg_check_modules(DEFLATE_DEPS REQUIRED IMPORTED_TARGET libdeflate)
target_link_libraries(${name} PUBLIC PkgConfig::DEFLATE_DEPS)
