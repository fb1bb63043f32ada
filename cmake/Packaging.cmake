# Debian package of the daemon (CPack, DEB generator): what the install rules
# put in place, for the build's target architecture (amd64 natively, armhf
# with cmake/toolchain-armhf.cmake).
#
#   cmake -S . -B build-pkg -DCMAKE_INSTALL_PREFIX=/usr -DFRIGEL_BUILD_TESTS=OFF
#   cmake --build build-pkg --target frigel && cpack --config build-pkg/CPackConfig.cmake
#
# scripts/package does exactly this for either architecture and checks the
# result. The package holds whatever the install rules install (the daemon,
# its systemd unit, its sample configuration and README), so a further
# program is packaged by adding it to the install(TARGETS ...) line.

# The unit's ExecStart is the configured install prefix: the package must
# install to that same prefix, or the service would start a missing file.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(STATUS "Packaging: CMAKE_INSTALL_PREFIX is ${CMAKE_INSTALL_PREFIX}; "
                 "a Debian package is built with -DCMAKE_INSTALL_PREFIX=/usr")
endif()
# Files installed to absolute paths (the configuration under /etc) must land
# in the package's staging folder, not on the build machine.
set(CPACK_SET_DESTDIR ON)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "frigel")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cooling-control daemon for an equipment room or cabinet")
set(CPACK_PACKAGE_CONTACT "frigel maintainers <frigel@localhost>")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "cooling-control daemon for an equipment room or cabinet\n"
    "frigel reads an internal and an outside-air temperature probe and drives up\n"
    "to two air conditioners and an outside-air fan through the local object\n"
    "server, choosing between no cooling, free air, one or two air conditioners\n"
    "and emergency cooling.")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_PACKAGE_SECTION "admin")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")  # frigel_VERSION_ARCH.deb
set(CPACK_STRIP_FILES ON)                  # with the toolchain's strip

# The package's architecture is the target's, not the build machine's.
if(CMAKE_CROSSCOMPILING AND CMAKE_LIBRARY_ARCHITECTURE)
  execute_process(
    COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
    OUTPUT_VARIABLE FRIGEL_DEB_ARCH
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
else()
  execute_process(
    COMMAND dpkg --print-architecture
    OUTPUT_VARIABLE FRIGEL_DEB_ARCH
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
endif()
if(FRIGEL_DEB_ARCH)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${FRIGEL_DEB_ARCH}")
endif()

# Dependencies from the binary's shared libraries (dpkg-shlibdeps). For a
# cross build it must look at the target's multiarch libraries: the
# cpack-time settings below tell dpkg the host architecture.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Its metrics file is served by node_exporter's textfile collector; nothing
# is installed into the collector's folder.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "prometheus-node-exporter")
set(FRIGEL_CPACK_ARCH "${FRIGEL_DEB_ARCH}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/CPackProjectConfig.cmake.in
               ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackProjectConfig.cmake)

# The sample configuration is the site's to edit: conffiles, so that an
# upgrade never overwrites a changed file (dpkg asks instead).
set(FRIGEL_CONFFILES
    ${FRIGEL_CONFIG_DIR}/frigel.conf
    ${FRIGEL_CONFIG_DIR}/frigel/frigelconfig.xml
    ${FRIGEL_CONFIG_DIR}/frigel/frigelConstants.xml)
string(REPLACE ";" "\n" frigel_conffiles_text "${FRIGEL_CONFFILES}")
set(FRIGEL_DEB_CONTROL_DIR ${CMAKE_BINARY_DIR}/debian-control)
file(WRITE ${FRIGEL_DEB_CONTROL_DIR}/conffiles "${frigel_conffiles_text}\n")
foreach(script postinst prerm postrm)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/${script} ${FRIGEL_DEB_CONTROL_DIR}/${script}
                 COPYONLY)
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${FRIGEL_DEB_CONTROL_DIR}/conffiles
    ${FRIGEL_DEB_CONTROL_DIR}/postinst
    ${FRIGEL_DEB_CONTROL_DIR}/prerm
    ${FRIGEL_DEB_CONTROL_DIR}/postrm)
# Maintainer scripts get 0755, conffiles 0644, whatever the source's modes.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
