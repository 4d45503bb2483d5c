# The desktop back end puts windows on screen through SDL2. It is a module of
# its own, loaded when the first window is opened (display.cpp), so programs
# that draw nothing do not load the window system; the layer itself needs
# libpng for snapshots.
get_target_property(display_sources ${name} SOURCES)
list(REMOVE_ITEM display_sources ${CMAKE_SOURCE_DIR}/${dir}/desktop.cpp)
set_target_properties(${name} PROPERTIES SOURCES "${display_sources}")
pkg_check_modules(DISPLAY_DEPS REQUIRED IMPORTED_TARGET libpng)
pkg_check_modules(DESKTOP_DEPS REQUIRED IMPORTED_TARGET sdl2)
target_link_libraries(${name} PUBLIC PkgConfig::DISPLAY_DEPS ${CMAKE_DL_LIBS})
add_library(${name}_desktop MODULE ${CMAKE_SOURCE_DIR}/${dir}/desktop.cpp)
set_target_properties(${name}_desktop PROPERTIES OUTPUT_NAME vesk_desktop CXX_VISIBILITY_PRESET hidden
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_include_directories(${name}_desktop PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(${name}_desktop PRIVATE PkgConfig::DESKTOP_DEPS)
target_compile_definitions(${name} PRIVATE VESK_DESKTOP_MODULE="$<TARGET_FILE:${name}_desktop>")
# Every program that may open a window gets the module built with it.
add_dependencies(${name} ${name}_desktop)
# The desktop back end watches the X connection for the server going away.
pkg_check_modules(DESKTOP_X11 REQUIRED IMPORTED_TARGET x11)
target_link_libraries(${name}_desktop PRIVATE PkgConfig::DESKTOP_X11)
