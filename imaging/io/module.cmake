# The parameters preview dialog shows its images in the image view, which
# reads and writes through this library (static libraries may depend on each
# other in a cycle).
target_link_libraries(${name} PUBLIC imaging_view)
# OpenJPEG reads and writes the JPEG 2000 images.
pkg_check_modules(OPENJP2 REQUIRED IMPORTED_TARGET libopenjp2)
target_link_libraries(${name} PUBLIC PkgConfig::OPENJP2)

# ---- The camera-raw plug-in -----------------------------------------------------
# "dcrawlib" over LibRaw, a shared object beside the program and the tests
# (all built in the top of the build tree), where LoadLibrary("dcrawlib.dll")
# finds it. Whatever links this library gets it built.
pkg_check_modules(LIBRAW REQUIRED IMPORTED_TARGET libraw)
# The built-in camera-raw reader runs LibRaw stage by stage.
target_link_libraries(${name} PUBLIC PkgConfig::LIBRAW)
add_library(dcrawlib MODULE ${CMAKE_SOURCE_DIR}/imaging/io/dcrawlib/dcrawlib.cpp)
target_include_directories(dcrawlib PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(dcrawlib PRIVATE PkgConfig::LIBRAW)
# LibRaw decodes on OpenMP worker threads, which outlive an unload: the
# plug-in and what it loaded stay in the process once loaded.
target_link_options(dcrawlib PRIVATE -Wl,-z,nodelete)
set_target_properties(dcrawlib PROPERTIES PREFIX "" SUFFIX ".so" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(${name} dcrawlib)
