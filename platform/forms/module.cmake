# The SQLite dataset links the SQLite library.
pkg_check_modules(VESK_SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
target_link_libraries(${name} PUBLIC PkgConfig::VESK_SQLITE3)
