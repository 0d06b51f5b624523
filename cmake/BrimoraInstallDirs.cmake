# Install folders outside the prefix's usual tree. For an install into /usr
# (a distribution package) they are the system's own: /etc and
# /lib/udev/rules.d. For any other prefix they stay inside it, so that
# `cmake --install --prefix <dir>` never writes outside <dir>.
include(GNUInstallDirs)
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(BRIMORA_INSTALL_SYSCONFDIR /etc)
    set(BRIMORA_INSTALL_UDEVRULESDIR /lib/udev/rules.d)
else()
    set(BRIMORA_INSTALL_SYSCONFDIR ${CMAKE_INSTALL_SYSCONFDIR})
    set(BRIMORA_INSTALL_UDEVRULESDIR lib/udev/rules.d)
endif()
# Libraries only for preloading into other programs, not for linking.
set(BRIMORA_INSTALL_PRIVATELIBDIR ${CMAKE_INSTALL_LIBDIR}/brimora)
