# The Debian package: `cpack` in a configured build folder (the release build is the one
# to ship) writes maze_<version>_<arch>.deb, its library dependencies worked out by
# dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME maze)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3D maze game with its own software renderer")
set(CPACK_PACKAGE_DESCRIPTION
    "Roll a ball through a maze of blocks and ramps to the blue goal, with the mouse, while a camera orbits above it. Comes with the level compiler mazec and the tools mazereplay, mazedump and levelgen.")
set(CPACK_PACKAGE_CONTACT "The maze authors <maze@invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
include(CPack)
