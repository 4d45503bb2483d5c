# The conversion tool's test runs the tool itself.
add_dependencies(test_imaging_io ieconvert)
