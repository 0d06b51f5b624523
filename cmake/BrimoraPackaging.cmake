# Debian packages of the repository (CPack DEB, one package per install
# component). Each family has its own version: the SDK packages carry the
# SDK's, the others the project's. scripts/package runs CPack once per family,
# naming the family with -D BRIMORA_PACKAGE_FAMILY=<sdk|vexorapi|desktop>:
#
#   family    component      package            contents
#   sdk       kwendsdk       libk-wendsdk2      the 64-bit SDK library
#             kwendsdk-dev   libk-wendsdk-dev   header, CMake package, pkg-config
#   vexorapi  VexorAPI       libvexorapi1       the VexorAPI library
#             VexorAPI-dev   libvexorapi-dev    headers, CMake package, pkg-config
#   desktop   lectern        lectern            the program and its desktop files
#             tools          brimora-tools      kwend-decode, rfsim, basesim, the doctor
include(BrimoraInstallDirs)

set(BRIMORA_DEB_REVISION 1)
set(BRIMORA_DEB_MAINTAINER "Brimora developers <developers@brimora.example.com>")

# Every package carries its copyright file and changelog in
# /usr/share/doc/<package>/, as Debian packages must.
function(brimora_package_docs component package version)
    set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${package})
    set(DEB_PACKAGE ${package})
    set(DEB_VERSION ${version}-${BRIMORA_DEB_REVISION})
    set(work ${PROJECT_BINARY_DIR}/packaging/${package})
    configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${work}/changelog.Debian @ONLY)
    # gzip -n: no name or time stamp, so the package is reproducible.
    execute_process(COMMAND gzip -9nf ${work}/changelog.Debian RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "gzip failed on ${work}/changelog.Debian")
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${work}/changelog.Debian.gz
        DESTINATION ${doc_dir} COMPONENT ${component})
    string(TOUPPER ${component} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package} PARENT_SCOPE)
endfunction()

set(BRIMORA_SDK_DEB_VERSION ${KWEND_SDK_VERSION})
brimora_package_docs(kwendsdk libk-wendsdk2 ${BRIMORA_SDK_DEB_VERSION})
brimora_package_docs(kwendsdk-dev libk-wendsdk-dev ${BRIMORA_SDK_DEB_VERSION})
brimora_package_docs(VexorAPI libvexorapi1 ${PROJECT_VERSION})
brimora_package_docs(VexorAPI-dev libvexorapi-dev ${PROJECT_VERSION})
brimora_package_docs(lectern lectern ${PROJECT_VERSION})
brimora_package_docs(tools brimora-tools ${PROJECT_VERSION})
install(FILES README.md docs/install.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lectern
    COMPONENT lectern)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME brimora-desktop)
set(CPACK_PACKAGE_VENDOR "Brimora")
set(CPACK_PACKAGE_CONTACT ${BRIMORA_DEB_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brimora.example.com/")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_KWENDSDK_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_KWENDSDK-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_VEXORAPI_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_VEXORAPI-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_LECTERN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
# The settings file in /etc belongs to the administrator once installed.
set(CPACK_DEBIAN_LECTERN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/lectern/conffiles)
set(CPACK_DEBIAN_LECTERN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The shared libraries refresh the linker cache through dpkg's trigger.
set(CPACK_DEBIAN_KWENDSDK_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/library/triggers)
set(CPACK_DEBIAN_VEXORAPI_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/library/triggers)
# What building against a library needs besides the library itself: the
# public headers of VexorAPI use Boost's.
set(CPACK_DEBIAN_VEXORAPI-DEV_PACKAGE_DEPENDS "libboost-thread-dev, libboost-date-time-dev")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/BrimoraCPackFamilies.cmake)
configure_file(${PROJECT_SOURCE_DIR}/packaging/CPackFamilies.cmake.in
    ${PROJECT_BINARY_DIR}/BrimoraCPackFamilies.cmake @ONLY)

include(CPack)
cpack_add_component(kwendsdk DISPLAY_NAME "k-wendsdk"
    DESCRIPTION "RF clicker packet SDK
Decodes the vote and text packets of the Brimora RF clicker receiver and
builds the commands that a host sends to it. Five plain C functions, no
state, no allocation (64-bit build).")
cpack_add_component(kwendsdk-dev DEPENDS kwendsdk DISPLAY_NAME "k-wendsdk development files"
    DESCRIPTION "RF clicker packet SDK, development files
The header, the CMake package (find_package(k-wendsdk)) and the pkg-config
file for building programs against k-wendsdk.")
cpack_add_component(VexorAPI DISPLAY_NAME "VexorAPI"
    DESCRIPTION "HID base station library
Finds, opens and drives Brimora USB HID base stations, and hands votes and
base-state changes to a client program through callbacks.")
cpack_add_component(VexorAPI-dev DEPENDS VexorAPI DISPLAY_NAME "VexorAPI development files"
    DESCRIPTION "HID base station library, development files
The headers, the CMake package (find_package(VexorAPI)) and the pkg-config
file for building client programs of VexorAPI.")
cpack_add_component(lectern DISPLAY_NAME "lectern"
    DESCRIPTION "Brimora classroom-response desktop companion
A small always-on-top window that hosts the Brimora web page in which an
instructor runs a class. It keeps the user signed in between runs, finds
the RF clicker receiver among the serial ports, and hands every vote that
students send from their clickers to the page.")
cpack_add_component(tools DISPLAY_NAME "Brimora support tools"
    DESCRIPTION "Support tools for Brimora receivers and base stations
brimora-doctor tells in plain words why a receiver or a base station is not
found or cannot be opened, and shows the receiver's packets live;
kwend-decode decodes receiver packets; rfsim and basesim simulate a
receiver and a base station.")
