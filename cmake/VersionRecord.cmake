# The version record: an object library whose one object puts the record into the ELF
# section ".nightlux_version" of every executable that links it, for example
#   target_link_libraries(nightlux PRIVATE nightlux_version_record)
set(NIGHTLUX_COMPANY "Corvatek")
set(NIGHTLUX_PRODUCT "Nightlux")
set(NIGHTLUX_DESCRIPTION "Nightlux Sky Quality Meter reader")
set(NIGHTLUX_COPYRIGHT "Copyright © 2017-2026 Corvatek")

configure_file(${PROJECT_SOURCE_DIR}/resources/VersionRecord.cpp.in
    ${PROJECT_BINARY_DIR}/generated/VersionRecord.cpp @ONLY)
add_library(nightlux_version_record OBJECT ${PROJECT_BINARY_DIR}/generated/VersionRecord.cpp)
target_link_libraries(nightlux_version_record PRIVATE nightlux_warnings)
