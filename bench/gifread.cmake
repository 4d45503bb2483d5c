# The peer of the GIF bench, called directly: giflib.
find_path(GIFLIB_INCLUDE gif_lib.h REQUIRED)
find_library(GIFLIB_LIBRARY gif REQUIRED)
target_include_directories(bench_${n} PRIVATE ${GIFLIB_INCLUDE})
target_link_libraries(bench_${n} PRIVATE ${GIFLIB_LIBRARY})
