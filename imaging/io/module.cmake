# The parameters preview dialog shows its images in the image view, which
# reads and writes through this library (static libraries may depend on each
# other in a cycle).
target_link_libraries(${name} PUBLIC imaging_view)
