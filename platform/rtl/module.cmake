# The program's resources: every file under data/resources/<TYPE>/ becomes an
# entry of the table that HInstance serves (platform/rtl/resources.h).
include(${CMAKE_SOURCE_DIR}/cmake/VeskResources.cmake)
vesk_embed_resources(${name} VeskProgramResources ${CMAKE_SOURCE_DIR}/data/resources)
