# Installation of VexorAPI as a library for other programs: the shared
# library, its public headers (include/VexorAPI, nothing from src/), a CMake
# package (find_package(VexorAPI) gives the imported target
# VexorAPI::VexorAPI) and a pkg-config file. The library with its SONAME
# link goes into the install component "VexorAPI" (on Linux with the udev
# rule that lets the user at the seat open the base, and its AppStream
# metadata), the rest (what building against it needs) into "VexorAPI-dev":
#     cmake --install <build> --component VexorAPI --prefix <prefix>
#     cmake --install <build> --component VexorAPI-dev --prefix <prefix>

# The same name inside this build, so that in-tree users (the example
# client) link exactly as an installed client does.
add_library(VexorAPI::VexorAPI ALIAS VexorAPI)

set(VEXORAPI_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/VexorAPI)

install(TARGETS VexorAPI EXPORT VexorAPITargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT VexorAPI
        NAMELINK_COMPONENT VexorAPI-dev
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT VexorAPI-dev
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT VexorAPI
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(NOT WIN32)
    include(BrimoraInstallDirs)
    install(FILES linux/70-libvexorapi1.rules
        DESTINATION ${BRIMORA_INSTALL_UDEVRULESDIR} COMPONENT VexorAPI)
    install(FILES linux/libvexorapi1.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT VexorAPI)
endif()
install(DIRECTORY include/VexorAPI
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    COMPONENT VexorAPI-dev
    FILES_MATCHING PATTERN "*.h")
install(FILES ${VEXOR_GENERATED_INCLUDE_DIR}/VexorAPI/VexorVersion.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/VexorAPI
    COMPONENT VexorAPI-dev)
install(EXPORT VexorAPITargets
    NAMESPACE VexorAPI::
    DESTINATION ${VEXORAPI_CMAKE_DIR}
    COMPONENT VexorAPI-dev)

configure_package_config_file(
    ${CMAKE_CURRENT_LIST_DIR}/VexorAPIConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/VexorAPIConfig.cmake
    INSTALL_DESTINATION ${VEXORAPI_CMAKE_DIR})
write_basic_package_version_file(
    ${CMAKE_CURRENT_BINARY_DIR}/VexorAPIConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/VexorAPIConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/VexorAPIConfigVersion.cmake
    DESTINATION ${VEXORAPI_CMAKE_DIR}
    COMPONENT VexorAPI-dev)

# The pkg-config file finds the prefix relative to its own directory, so an
# installed tree can be moved.
file(RELATIVE_PATH VEXORAPI_PC_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" VEXORAPI_PC_PREFIX "${VEXORAPI_PC_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/VexorAPI.pc.in
    ${CMAKE_CURRENT_BINARY_DIR}/VexorAPI.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VexorAPI.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT VexorAPI-dev)
