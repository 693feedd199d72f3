# The Debian package: `cpack -G DEB` in the build folder makes
# addrscope_VERSION_ARCH.deb from what `cmake --install` puts in place (the two
# programs, their manual pages and completions, the desktop entry, its icon and
# AppStream metainfo, the RDAP bootstrap), with Depends computed from the programs.
set(ADDRSCOPE_PACKAGE_MAINTAINER "Addrscope developers" CACHE STRING
  "Maintainer field of the Debian package (name <address>)")

set(CPACK_PACKAGE_NAME addrscope)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ADDRSCOPE_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find out who holds IPv4 addresses")
set(CPACK_PACKAGE_DESCRIPTION
  "Addrscope looks IPv4 addresses up by IP whois and RDAP, following the\n"
  "registries' referrals, and keeps owner, country, net range and abuse address\n"
  "of each in a document. Addresses come typed in or from Apache logs (plain or\n"
  "gzip). The package holds the desktop program, addrscope, and the command\n"
  "line, addrscope-cli.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the SVG icon engine at run time, so shlibdeps cannot see it; without it
# the window's icons are blank.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageManPages.cmake)
include(CPack)
