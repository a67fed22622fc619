# The Debian package: `cpack -G DEB` in the build folder (scripts/package).
#
# The program folder goes to /usr/lib/velotan exactly as `cmake --install`
# lays it out; users cannot write there, so the program keeps their files in
# their own data folder. What Debian wants elsewhere (the links in /usr/bin,
# the desktop entry, icons, web page, manual pages, AppStream metadata and the
# files in /usr/share/doc) is added to the package's staging tree only
# (cmake/DebStaging.cmake), so a plain `cmake --install --prefix DIR` still
# gives nothing but the flat program folder.

set(CPACK_PACKAGE_NAME velotan)
set(CPACK_PACKAGE_VENDOR "velotan")
# The project's own placeholder domain; velotan.github.io is the home page.
set(CPACK_PACKAGE_CONTACT "velotan maintainers <maintainers@velotan.github.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "encrypt short moods into a cipher text and a code table")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "青岚心情加密器 is a small Qt desktop program with a Simplified Chinese\n"
    "interface that turns a short text into a cipher text and a random code\n"
    "table that travel together, as a document pair, a post or a QR code.\n"
    "velotan-cli does the same from a terminal, and a web page does it in a\n"
    "browser. The compatible cipher only hides a text from casual readers;\n"
    "strong posts (XChaCha20-Poly1305) keep it from everyone without the key.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# A Debian revision of the project's version: the package's changelog
# (packaging/debian/changelog) is a changelog.Debian, not a native one.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr/lib/velotan)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velotan.github.io/")
set(CPACK_STRIP_FILES ON)
# Dependencies come from the shared libraries the programs link
# (dpkg-shlibdeps, Debian package dpkg-dev); the LED library is the
# package's own, found beside the programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "${CPACK_PACKAGING_INSTALL_PREFIX}"
    "${CMAKE_BINARY_DIR}/src/ledcontrol")
# What no shared library names: the Qt platform plugins for a desktop
# session, a CJK font (without one every Chinese text shows as boxes),
# xdg-open for the share, help and suggestion buttons, and Qt's Chinese
# dialog texts, which the program folder links to instead of a copy.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei, xdg-utils")
# The Wayland plugin lets the program run natively there instead of through
# XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# Chinese input methods for Qt 6 programs.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fcitx5-frontend-qt6 | ibus")

set(CPACK_VELOTAN_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_VELOTAN_BINARY_DIR ${PROJECT_BINARY_DIR})
set(CPACK_VELOTAN_MAN_PAGES ${VELOTAN_MAN_PAGES})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebStaging.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebDropLdconfig.cmake)

include(CPack)
