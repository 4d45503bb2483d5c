# Libraries behind the Windows-style API: image decoding for pictures
# (libpng, libjpeg) and colour transforms (lcms2).
pkg_check_modules(WIN_DEPS REQUIRED IMPORTED_TARGET libpng libjpeg lcms2)
target_link_libraries(${name} PUBLIC PkgConfig::WIN_DEPS)
include(${CMAKE_SOURCE_DIR}/cmake/VeskSonames.cmake)
# HTTP and FTP (libcurl) are compiled against but not linked: netlibs.cpp
# loads the library when a program first opens an internet session.
pkg_check_modules(NET_DEPS REQUIRED libcurl)
target_include_directories(${name} SYSTEM PRIVATE ${NET_DEPS_INCLUDE_DIRS})
vesk_sonames(netlib_sonames "${NET_DEPS_LIBRARY_DIRS}" curl)
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win/netlibs.cpp PROPERTIES COMPILE_DEFINITIONS
  "VESK_NETLIB_SONAMES=${netlib_sonames}")
# Drawing and text (cairo, Pango, fontconfig) are compiled against but not
# linked: drawlibs.cpp loads them when a program first draws, by the names
# their libraries carry (read here from the libraries themselves).
pkg_check_modules(DRAW_DEPS REQUIRED IMPORTED_TARGET pangocairo fontconfig)
target_include_directories(${name} SYSTEM PUBLIC ${DRAW_DEPS_INCLUDE_DIRS})
target_compile_options(${name} PUBLIC ${DRAW_DEPS_CFLAGS_OTHER})
vesk_sonames(drawlib_sonames "${DRAW_DEPS_LIBRARY_DIRS}" pangocairo-1.0 fontconfig)
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win/drawlibs.cpp PROPERTIES COMPILE_DEFINITIONS
  "VESK_DRAWLIB_SONAMES=${drawlib_sonames}")

# The version resource of the executable answers the project's version.
if(NOT PROJECT_VERSION_TWEAK)
  set(vesk_version_tweak 0)
else()
  set(vesk_version_tweak ${PROJECT_VERSION_TWEAK})
endif()
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win/sysinfo.cpp PROPERTIES COMPILE_DEFINITIONS
  "VESK_VERSION_MAJOR=${PROJECT_VERSION_MAJOR};VESK_VERSION_MINOR=${PROJECT_VERSION_MINOR};VESK_VERSION_PATCH=${PROJECT_VERSION_PATCH};VESK_VERSION_TWEAK=${vesk_version_tweak}")

# The HD Photo codec (jxrlib): its headers and definitions reach wmpglue.cpp
# alone, as they clash with the layer's own Windows names. It is not linked:
# wmpglue.cpp loads it when a program first reads or writes an HD Photo.
pkg_check_modules(JXR REQUIRED libjxr)
if(sources)
  list(TRANSFORM JXR_INCLUDE_DIRS PREPEND "-isystem;")
  vesk_sonames(jxr_sonames "${JXR_LIBRARY_DIRS}" jxrglue jpegxr)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win/wmpglue.cpp PROPERTIES
    COMPILE_OPTIONS "${JXR_INCLUDE_DIRS};${JXR_CFLAGS_OTHER}"
    COMPILE_DEFINITIONS "VESK_JXR_SONAMES=${jxr_sonames}")
endif()

# Video for Windows' AVI file functions: libavformat reads the packets,
# libavcodec decodes compressed video and libswscale converts it to 24 bits.
# They are compiled against but not linked: avlibs.cpp loads them when a
# program first opens a video file.
pkg_check_modules(AV_DEPS REQUIRED libavformat libavcodec libswscale libavutil)
target_include_directories(${name} SYSTEM PRIVATE ${AV_DEPS_INCLUDE_DIRS})
vesk_sonames(avlib_sonames "${AV_DEPS_LIBRARY_DIRS}" avformat avcodec swscale avutil)
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/win/avlibs.cpp PROPERTIES COMPILE_DEFINITIONS
  "VESK_AVLIB_SONAMES=${avlib_sonames}")
