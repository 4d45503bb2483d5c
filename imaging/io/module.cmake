# The parameters preview dialog shows its images in the image view, which
# reads and writes through this library (static libraries may depend on each
# other in a cycle).
target_link_libraries(${name} PUBLIC imaging_view)
# OpenJPEG reads and writes the JPEG 2000 images. It is compiled against but
# not linked: iej2000.cpp loads it when a program first reads or writes one.
pkg_check_modules(OPENJP2 REQUIRED IMPORTED_TARGET libopenjp2)
target_include_directories(${name} SYSTEM PUBLIC ${OPENJP2_INCLUDE_DIRS})
include(${CMAKE_SOURCE_DIR}/cmake/VeskSonames.cmake)
vesk_sonames(opj_sonames "${OPENJP2_LIBRARY_DIRS}" openjp2)
set_source_files_properties(${CMAKE_SOURCE_DIR}/imaging/io/iej2000.cpp PROPERTIES COMPILE_DEFINITIONS
  "VESK_OPJ_SONAMES=${opj_sonames}")

# ---- The camera-raw plug-in -----------------------------------------------------
# "dcrawlib" over LibRaw, a shared object beside the program and the tests
# (all built in the top of the build tree), where LoadLibrary("dcrawlib.dll")
# finds it. Whatever links this library gets it built.
pkg_check_modules(LIBRAW REQUIRED IMPORTED_TARGET libraw)
add_library(dcrawlib MODULE ${CMAKE_SOURCE_DIR}/imaging/io/dcrawlib/dcrawlib.cpp)
target_include_directories(dcrawlib PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(dcrawlib PRIVATE PkgConfig::LIBRAW)
# LibRaw decodes on OpenMP worker threads, which outlive an unload: the
# plug-in and what it loaded stay in the process once loaded.
target_link_options(dcrawlib PRIVATE -Wl,-z,nodelete)
set_target_properties(dcrawlib PROPERTIES PREFIX "" SUFFIX ".so" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(${name} dcrawlib)

# ---- The built-in camera-raw reader's decoder --------------------------------------
# LibRaw run stage by stage, in a module of its own that ieraw.cpp loads when
# a program first looks at a camera-raw file (programs are not linked with
# LibRaw). Whatever links this library gets it built.
add_library(vesk_rawdecoder MODULE ${CMAKE_SOURCE_DIR}/imaging/io/rawdecoder/rawdecoder.cpp)
target_include_directories(vesk_rawdecoder PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(vesk_rawdecoder PRIVATE PkgConfig::LIBRAW)
target_link_options(vesk_rawdecoder PRIVATE -Wl,-z,nodelete)
set_target_properties(vesk_rawdecoder PROPERTIES CXX_VISIBILITY_PRESET hidden LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
set_source_files_properties(${CMAKE_SOURCE_DIR}/imaging/io/ieraw.cpp PROPERTIES COMPILE_DEFINITIONS
  "VESK_RAW_MODULE=\"$<TARGET_FILE:vesk_rawdecoder>\"")
add_dependencies(${name} vesk_rawdecoder)
