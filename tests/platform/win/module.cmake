# The internet tests serve HTTPS with a certificate of their own (OpenSSL).
pkg_check_modules(TEST_WIN_TLS REQUIRED IMPORTED_TARGET openssl)
target_link_libraries(test_${name} PRIVATE PkgConfig::TEST_WIN_TLS)
