# The start-up bench runs the conversion tool as a process of its own.
add_dependencies(bench_${n} ieconvert)
target_compile_definitions(bench_${n} PRIVATE VESK_IECONVERT="$<TARGET_FILE:ieconvert>")
