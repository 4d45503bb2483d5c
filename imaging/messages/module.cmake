# The English catalogue texts (data/catalogue/english.txt, one "key<TAB>text"
# line per key, UTF-8) are compiled into the library as a byte array. The
# file is read when CMake configures, and a change to it configures again.
set(catalogue_text ${CMAKE_SOURCE_DIR}/data/catalogue/english.txt)
set(catalogue_source ${CMAKE_BINARY_DIR}/generated/imaging/messages/iewords_english.cpp)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${catalogue_text})
file(READ ${catalogue_text} catalogue_hex HEX)
string(LENGTH "${catalogue_hex}" catalogue_hex_length)
math(EXPR catalogue_size "${catalogue_hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," catalogue_bytes "${catalogue_hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n  " catalogue_bytes "${catalogue_bytes}")
file(CONFIGURE OUTPUT ${catalogue_source} @ONLY CONTENT
"// Generated from data/catalogue/english.txt; edit that file instead.
#include <cstddef>
#include <cstdint>

extern const uint8_t IEEnglishCatalogueData[];
extern const size_t IEEnglishCatalogueSize;

const uint8_t IEEnglishCatalogueData[] = {
  @catalogue_bytes@
};
const size_t IEEnglishCatalogueSize = @catalogue_size@;
")
if(sources)
  target_sources(${name} PRIVATE ${catalogue_source})
endif()
