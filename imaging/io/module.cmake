# The parameters preview dialog shows its images in the image view, which
# reads and writes through this library (static libraries may depend on each
# other in a cycle).
target_link_libraries(${name} PUBLIC imaging_view)
# OpenJPEG reads and writes the JPEG 2000 images.
pkg_check_modules(OPENJP2 REQUIRED IMPORTED_TARGET libopenjp2)
target_link_libraries(${name} PUBLIC PkgConfig::OPENJP2)
