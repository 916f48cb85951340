# The Debian package: `cpack -G DEB` in a Release build folder (tools/dev.sh package).
# Both programs and everything they install, with the Debian documentation a package needs
# (copyright, changelog) and dependencies read off the binaries by dpkg-shlibdeps.
include(GNUInstallDirs)

set(MORVANE_MAINTAINER "The Morvane developers <developers@morvane.org>" CACHE STRING
    "Maintainer field of the Debian package")

# Debian's documentation folder: the licence as a machine-readable copyright file, and a
# compressed changelog (gzip -n keeps the package reproducible).
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/morvane)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${doc_dir})
if(MORVANE_GZIP)
  set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
                     COMMAND ${MORVANE_GZIP} -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
                     DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
  add_custom_target(morvane_changelog ALL DEPENDS ${changelog})
  install(FILES ${changelog} DESTINATION ${doc_dir})
endif()

set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "The Morvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${MORVANE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MORVANE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${MORVANE_HOME_PAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line is the synopsis; the rest, the extended description (CPack indents it and
# marks the empty line as Debian wants).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "key book and RSA protection for short texts
Morvane keeps a key book: a password-protected tree of directories holding
correspondents' public keys (locks) and the user's own RSA key pairs (keys).
With it the user encrypts a short text for a correspondent, or signs it and
then encrypts it, and decrypts and verifies the texts received, as armored
text to paste into any mail or chat program. Keys of 512 to 4096 bits are
generated from a random pool stirred by mouse movement; the book is kept in
an enciphered, compressed file behind a login password.

The package holds the desktop program (morvane, Qt 6) and the terminal
program morvane-cli for scripts, which read and write the same books.")
# Folders the install creates are world-readable, as Debian expects of /usr.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
