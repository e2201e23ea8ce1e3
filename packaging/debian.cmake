# The Debian package `coinshell`, built by CPack from the install rules (cmake/install.cmake):
#   ./run package      ->  build/default/package/coinshell_<version>_<arch>.deb
# It depends on the runtime packages of ARCHITECTURE.md's list (Debian 12 names) and on a bare
# X server with xinit for the display session; util-linux gives setpriv, init-system-helpers the
# unit's enabling (both essential on Debian).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME coinshell)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "coinshell developers <coinshell@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator shell of a coin-operated arcade cabinet")
# The long description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The cabinet boots into a skinned 640 x 480 menu of its games with looping
video previews and an attract mode, takes coins at the operator's price,
keeps credits and book-keeping counters that survive power cuts, reads the
control panel over a serial line, launches each game in an external
emulator and supervises it, offers the operator's service screens, rotates
the games in use and drives PAL/NTSC timings for an arcade monitor.

The unit coinshell.service starts it at boot in a bare X session on tty7.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# Runtime libraries of the build (Debian 12: Qt 6.4, FFmpeg 5.1, ALSA 1.2.8, SQLite 3.40), the
# platform plugins (xcb, linuxfb, offscreen), the fonts the skins name, the X session.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1"
    "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), qt6-qpa-plugins (>= 6.4)"
    "libavformat59, libavcodec59, libswscale6, libavutil57"
    "libasound2 (>= 1.2), libsqlite3-0 (>= 3.40)"
    "fonts-dejavu-core, fonts-dseg"
    "xserver-xorg, xinit, xauth"
    "util-linux (>= 2.38), passwd")
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "alsa-utils")

set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
    ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
    ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)

include(CPack)
