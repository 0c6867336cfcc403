# A Debian package of the installation: cpack -G DEB, run by scripts/setup.sh package.
# Debian keeps games' commands in /usr/games; the package is configured with
# CMAKE_INSTALL_BINDIR=games for that.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TK_COMMAND})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "${TK_CONTACT_NAME} <${TK_CONTACT_MAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "number caller for ninety-ball bingo (tambola, housie)")
set(CPACK_PACKAGE_DESCRIPTION "${TK_DISPLAY_NAME} takes the place of the bag of numbered tokens. It prepares
a random order of the numbers 1 to 90 and calls one number at every tick:
it shows the number, marks it on a board of all ninety, counts the calls
and speaks the number aloud from a recording. Opening a menu pauses the
calling; a zoom window repeats the last number in huge type for the room.
It keeps the game on disk so that a crash resumes it, prints tickets that
it checks from their codes alone, and judges a player's claim for each
prize from the calls in order.")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TK_HOMEPAGE})
# The file's name is said once, here, and left in the build folder for the scripts.
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE TK_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
if(NOT TK_DEB_ARCH)
    set(TK_DEB_ARCH ${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${TK_DEB_ARCH})
set(CPACK_DEBIAN_FILE_NAME ${TK_COMMAND}_${PROJECT_VERSION}_${TK_DEB_ARCH}.deb)
file(WRITE ${CMAKE_BINARY_DIR}/package-file-name ${CPACK_DEBIAN_FILE_NAME})
# Libraries found by dpkg-shlibdeps; Qt's platform plugins and the fonts standing in for
# Arial are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's Wayland support, for Wayland desktops without X.
# The broker for players anywhere runs wherever the host likes, often on another machine.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mosquitto")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, pulseaudio | pipewire-pulse, qt6-wayland")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
