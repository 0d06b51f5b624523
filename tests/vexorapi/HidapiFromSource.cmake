# hidapi's hidraw backend built from Debian's source package, with this
# build's sanitizer flags, so that ThreadSanitizer sees inside hidapi: its
# process-wide state included. The tsan stage of scripts/check unpacks the
# pinned source (scripts/windows-deps --unpack hidapi build/sources) and names
# it here. Linked ahead of the system's hidapi, its hid_* definitions serve
# the test program and the library's objects alike (as basesim's do).
#
# Sets VEXOR_REAL_HIDAPI to the vexor_add_test arguments that link it, or to
# nothing when no source is named.

set(BRIMORA_HIDAPI_SOURCE_DIR "" CACHE PATH
    "Debian's hidapi source, built for the real-hidapi tests (the tsan stage sets it)")
set(VEXOR_REAL_HIDAPI "")
if(BRIMORA_HIDAPI_SOURCE_DIR)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(HIDAPI_SOURCE_UDEV REQUIRED IMPORTED_TARGET libudev)
    add_library(hidapi_from_source SHARED ${BRIMORA_HIDAPI_SOURCE_DIR}/linux/hid.c)
    target_include_directories(hidapi_from_source PRIVATE ${BRIMORA_HIDAPI_SOURCE_DIR}/hidapi)
    target_link_libraries(hidapi_from_source PRIVATE PkgConfig::HIDAPI_SOURCE_UDEV)
    set_target_properties(hidapi_from_source PROPERTIES
        C_VISIBILITY_PRESET default
        OUTPUT_NAME hidapi-from-source)
    set(VEXOR_REAL_HIDAPI HIDAPI hidapi_from_source)
elseif(BRIMORA_SANITIZE STREQUAL "thread")
    message(WARNING "BRIMORA_HIDAPI_SOURCE_DIR is not set: the real-hidapi tests use the "
                    "system's hidapi, inside which ThreadSanitizer sees nothing "
                    "(scripts/check tsan sets it)")
endif()
