# The Debian package: scripts/package runs `cpack -G DEB` on a build tree.
# Everything `cmake --install` installs goes in, under /usr; the package's
# dependencies come from the binaries (dpkg-shlibdeps), its version from project().
set(QUILLON_DEB_MAINTAINER "The Quillon developers <quillon@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian package")
set(QUILLON_HOMEPAGE "https://quillon.github.io/")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "The Quillon developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and extractor for Duskmoor data archives")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillon opens the data archives (.PAK) of the game Duskmoor, lists their
entries and previews them: textures and models in an OpenGL view, materials,
XML and text as text, and Ogg Vorbis sounds played on selection. Entries can
be exported as held, or as .dds, WaveFront .obj, .ogg or a comma-separated
dump of numbers.

quillon-cli lists, shows, exports, dumps and extracts entries from the
command line with the same readers and writers.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLON_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLON_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# The files Debian asks of every package in /usr/share/doc/quillon: the licence
# in its machine-readable form, and a changelog. The changelog belongs to the
# package alone, so a plain `cmake --install` leaves it out (component "deb").
set(QUILLON_DEB_VERSION ${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
string(TIMESTAMP QUILLON_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${license}")
set(QUILLON_COPYRIGHT "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*\n\n(Permission )" "\\1" license "${license}")
string(REGEX REPLACE "\n+$" "" license "${license}")
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " QUILLON_LICENSE_TEXT " ${license}")
set(debian ${CMAKE_BINARY_DIR}/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${debian}/copyright @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${debian}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${debian}/changelog.Debian.gz
  COMMAND gzip -9nkf ${debian}/changelog.Debian
  DEPENDS ${debian}/changelog.Debian VERBATIM)
add_custom_target(quillon_debian_changelog ALL DEPENDS ${debian}/changelog.Debian.gz)
install(FILES ${debian}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)
install(FILES ${debian}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon
        COMPONENT deb EXCLUDE_FROM_ALL)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified deb)

include(CPack)
