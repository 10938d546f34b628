# The Debian package of everything the install rules install: the game, its data and desktop files,
# and the score server with what it brings. `cpack -G DEB` (scripts/package) writes
# quorix_<version>_<architecture>.deb into the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorix)
set(CPACK_PACKAGE_VENDOR "The Quorix team")
set(CPACK_PACKAGE_CONTACT "The Quorix team <team@quorix.example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# The libraries the programs link come from dpkg-shlibdeps. SDL draws through OpenGL, which it opens
# at run time, so that is named here; Mesa's drivers and xdg-open (help page, web links) are wanted.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri, libegl-mesa0, xdg-utils")
# The first line of the description is the project's own summary; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quorix is a match-three puzzle game: swap two neighbouring gems on a
12 x 8 board to make lines of three or more, which vanish while new gems
fall in. Bonus gems clear a block, a row or a column. Four modes (60
seconds, 5 minutes, a race to a million points and an untimed relax
mode) at four difficulties, local high-score tables, music, seven art
skins and a small launcher.
.
The package also holds quorix-scored, the score server that keeps the
world-wide tables and shows them on a web page; the game talks to it
only when the player ticks Internet Scoring in the launcher.")
include(CPack)
