# The services link libcrypto (the update information file's signature) and
# carry the update public key, read from data/upgrader/update-key.pub.pem:
# without it the build fails.
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
target_link_libraries(services PUBLIC OpenSSL::Crypto)

set(update_key ${CMAKE_SOURCE_DIR}/data/upgrader/update-key.pub.pem)
if(NOT EXISTS ${update_key})
  message(FATAL_ERROR "The update public key ${update_key} is missing")
endif()
file(READ ${update_key} update_key_pem)
if(NOT update_key_pem MATCHES "-----BEGIN PUBLIC KEY-----")
  message(FATAL_ERROR "${update_key} holds no PEM public key")
endif()
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${update_key})
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/services/update_key.inc
     CONTENT "R\"PEM(@update_key_pem@)PEM\"\n" @ONLY)
target_include_directories(services PRIVATE ${CMAKE_BINARY_DIR}/generated)
