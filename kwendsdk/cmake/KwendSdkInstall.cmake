# Install rules of the SDK. Component "kwendsdk" holds what programs need at
# run time (the libraries with their SONAME links); "kwendsdk-dev" what
# building against them needs: the public header, the unversioned link, a
# CMake package (find_package(k-wendsdk) with imported targets
# k-wendsdk::k-wendsdk_m64 / k-wendsdk::k-wendsdk) and one pkg-config file per
# library (k-wendsdk_m64.pc, k-wendsdk.pc).
set(KWEND_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/k-wendsdk)

install(TARGETS ${KWEND_SDK_TARGETS} EXPORT k-wendsdk-targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT kwendsdk NAMELINK_COMPONENT kwendsdk-dev
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT kwendsdk-dev
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT kwendsdk
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/k-wendsdk COMPONENT kwendsdk-dev)
install(EXPORT k-wendsdk-targets NAMESPACE k-wendsdk:: DESTINATION ${KWEND_CMAKE_DIR}
    COMPONENT kwendsdk-dev)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/k-wendsdkConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/k-wendsdkConfig.cmake
    INSTALL_DESTINATION ${KWEND_CMAKE_DIR})
# The package holds both word sizes, so it must not be rejected for either.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/k-wendsdkConfigVersion.cmake
    VERSION ${KWEND_SDK_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/k-wendsdkConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/k-wendsdkConfigVersion.cmake
    DESTINATION ${KWEND_CMAKE_DIR} COMPONENT kwendsdk-dev)

# pkg-config files locate the prefix relative to themselves, so the install
# tree can be moved (and installed with --prefix).
file(RELATIVE_PATH KWEND_PC_PREFIX_FROM_PCDIR "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
foreach(target IN LISTS KWEND_SDK_TARGETS)
    set(KWEND_PC_LIBRARY ${target})
    get_target_property(KWEND_PC_FLAGS ${target} INTERFACE_COMPILE_OPTIONS)
    if(NOT KWEND_PC_FLAGS)
        set(KWEND_PC_FLAGS "")
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/kwendsdk.pc.in
        ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT kwendsdk-dev)
endforeach()
