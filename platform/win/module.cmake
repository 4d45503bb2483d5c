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

# The version resource of the executable answers the project's version.
if(NOT PROJECT_VERSION_TWEAK)
  set(vesk_version_tweak 0)
else()
  set(vesk_version_tweak ${PROJECT_VERSION_TWEAK})
endif()
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win/sysinfo.cpp PROPERTIES COMPILE_DEFINITIONS
  "VESK_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};VESK_VERSION_MINOR=${PROJECT_VERSION_MINOR};VESK_VERSION_PATCH=${PROJECT_VERSION_PATCH};VESK_VERSION_TWEAK=${vesk_version_tweak}")

# The HD Photo codec (jxrlib): its headers and definitions reach wmpglue.cpp
# alone, as they clash with the layer's own Windows names.
pkg_check_modules(JXR REQUIRED libjxr)
if(sources)
  list(TRANSFORM JXR_INCLUDE_DIRS PREPEND "-isystem;")
  set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win/wmpglue.cpp PROPERTIES
    COMPILE_OPTIONS "${JXR_INCLUDE_DIRS};${JXR_CFLAGS_OTHER}")
  target_link_libraries(${name} PRIVATE ${JXR_LINK_LIBRARIES})
endif()
