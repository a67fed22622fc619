# The Debian package: `cpack -G DEB` in the build folder.
#
# The program folder goes to /opt/velotan exactly as `cmake --install` lays it
# out; users cannot write there, so the program keeps their files in their
# own data folder. The links in /usr/bin and the desktop entry and icons in
# /usr/share are added to the package's staging tree only
# (cmake/DebStaging.cmake), so a plain `cmake --install --prefix DIR` still
# gives nothing but the flat program folder.

set(CPACK_PACKAGE_NAME velotan)
set(CPACK_PACKAGE_VENDOR "velotan")
set(CPACK_PACKAGE_CONTACT "velotan maintainers <velotan@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "青岚心情加密器 - encrypt short moods into a cipher text and a code table")
set(CPACK_PACKAGE_DESCRIPTION
    "A small Qt desktop program that turns a short text into a cipher text\n"
    "and a random code table that travel together, with velotan-cli for the\n"
    "terminal and the VxLedControl LED display control.\n"
    "The cipher hides a text from casual readers; it is not strong cryptography.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/velotan)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://localhost/velotan")
# Dependencies come from the shared libraries the programs link
# (dpkg-shlibdeps, Debian package dpkg-dev); the LED library is the
# package's own, found beside the programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "${CPACK_PACKAGING_INSTALL_PREFIX}"
    "${CMAKE_BINARY_DIR}/src/ledcontrol")
# What no shared library names: the Qt platform plugins for a desktop
# session, a CJK font (without one every Chinese text shows as boxes) and
# xdg-open for the share, help and suggestion buttons. The Wayland plugin lets
# the program run natively there instead of through XWayland.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# Chinese input methods for Qt 6 programs.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fcitx5-frontend-qt6 | ibus")

set(CPACK_VELOTAN_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebStaging.cmake)

include(CPack)
