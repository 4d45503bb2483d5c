# The conversion tool's test runs the tool itself.
add_dependencies(test_imaging_io ieconvert)
# The JPEG 2000 tests make reference files with OpenJPEG's file streams,
# which the codec itself does not call: the test program links the library.
target_link_libraries(test_imaging_io PRIVATE PkgConfig::OPENJP2)
# The multi-image I/O component serves the thumbnail viewers of the view library.
target_link_libraries(test_imaging_io PRIVATE imaging_view)

# ---- Plug-in host: test plug-ins ---------------------------------------------
# One test plug-in built in several variants beside the test program
# (LoadLibrary("tplugstd.dll") finds "tplugstd.so"); the camera-raw stand-in
# lies in a folder of its own, apart from the real camera-raw plug-in.
set(io_fake_raw_dir ${CMAKE_CURRENT_BINARY_DIR}/fake-raw)
foreach(variant std cdecl safe noadd fakeraw)
  add_library(tplug_${variant} MODULE ${CMAKE_SOURCE_DIR}/tests/imaging/io/plugin/testplugin.c)
  target_include_directories(tplug_${variant} PRIVATE ${CMAKE_SOURCE_DIR})
  set_target_properties(tplug_${variant} PROPERTIES PREFIX "" OUTPUT_NAME tplug${variant} SUFFIX ".so"
                        LIBRARY_OUTPUT_DIRECTORY $<TARGET_FILE_DIR:test_imaging_io>)
  add_dependencies(test_imaging_io tplug_${variant})
endforeach()
target_compile_definitions(tplug_cdecl PRIVATE TEST_CDECL)
target_compile_definitions(tplug_safe PRIVATE TEST_THREAD_SAFE)
target_compile_definitions(tplug_noadd PRIVATE TEST_NO_ADDPARAMETER)
set_target_properties(tplug_fakeraw PROPERTIES OUTPUT_NAME dcrawlib LIBRARY_OUTPUT_DIRECTORY ${io_fake_raw_dir})
target_compile_definitions(test_imaging_io PRIVATE IO_FAKE_RAW_DIR="${io_fake_raw_dir}")

# The URL-loading tests serve HTTPS with a certificate of their own (OpenSSL).
pkg_check_modules(TEST_IO_TLS REQUIRED IMPORTED_TARGET openssl)
target_link_libraries(test_imaging_io PRIVATE PkgConfig::TEST_IO_TLS)
