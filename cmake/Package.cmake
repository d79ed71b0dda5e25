# The Debian package: `cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr (scripts/package.sh) gives tarvik_VERSION_ARCH.deb.
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VENDOR "Tarvik developers")
set(CPACK_PACKAGE_CONTACT "Tarvik developers <tarvik@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test tool for heavy-vehicle data links")
# CPack puts the summary first and indents the lines; an empty line becomes
# the paragraph break.
set(CPACK_PACKAGE_DESCRIPTION "Tarvik drives a vehicle network adapter through its maker's RP1210A driver
library: it connects J1708, J1850 and J1939 clients, shows the messages
that arrive, sets the driver's filters, and sends composed messages on a
schedule.

It comes with its own RP1210A driver, a virtual adapter with a simulated
truck on its buses, so it works without hardware.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the binaries' needed libraries (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Files under /etc are the administrator's: dpkg keeps their edits.
file(WRITE ${CMAKE_BINARY_DIR}/package/conffiles
  "${TARVIK_INSTALL_INIDIR}/rp121032.ini\n${TARVIK_INSTALL_INIDIR}/ZT121032.ini\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/package/conffiles)
include(CPack)
