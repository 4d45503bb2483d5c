# The conversion tool's test runs the tool itself.
add_dependencies(test_imaging_io ieconvert)
# The multi-image I/O component serves the thumbnail viewers of the view library.
target_link_libraries(test_imaging_io PRIVATE imaging_view)
