# Libraries behind the Windows-style API: drawing (cairo, pango, fontconfig,
# freetype), image decoding for pictures (libpng, libjpeg), colour transforms
# (lcms2) and HTTP (libcurl).
pkg_check_modules(WIN_DEPS REQUIRED IMPORTED_TARGET
  cairo pangocairo pangoft2 fontconfig freetype2 libpng libjpeg lcms2 libcurl)
if(sources)
  target_link_libraries(${name} PUBLIC PkgConfig::WIN_DEPS)
else()
  target_link_libraries(${name} INTERFACE PkgConfig::WIN_DEPS)
endif()
