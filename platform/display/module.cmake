# The desktop back end puts windows on screen through SDL2; snapshots are PNG.
pkg_check_modules(DISPLAY_DEPS REQUIRED IMPORTED_TARGET sdl2 libpng)
if(sources)
  target_link_libraries(${name} PUBLIC PkgConfig::DISPLAY_DEPS)
else()
  target_link_libraries(${name} INTERFACE PkgConfig::DISPLAY_DEPS)
endif()
