# The Debian package "tavolix", built by CPack from the install rules:
#   cmake --build BUILD --target package
# dpkg-shlibdeps finds the libraries the program links (Qt 6, SQLite, xcb,
# the C++ runtime); the rest are what it needs at run time without linking:
# the xcb platform plugin, the fonts the window asks for (Arial, met by
# Liberation Sans, and the CJK fonts for the Chinese and Japanese texts) and
# the sqlite3 command the launcher carries the language choice over with.
# The menu and icon caches are refreshed by the triggers of the packages that
# own them, so the package needs no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavolix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavolix developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "find IP cameras on the local network and change their network settings")
set(CPACK_PACKAGE_DESCRIPTION
    "Tavolix finds network appliances such as IP cameras and video recorders on\n\
the local network segment by a UDP broadcast, lists them, shows a selected\n\
device's network settings and sends changed settings back to it. Its window\n\
speaks English, Simplified Chinese, Traditional Chinese, French, German and\n\
Japanese.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tavolix developers <maintainers@users.noreply.c-seed-831d5cdc.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-liberation2, fonts-noto-cjk, sqlite3")
# Opening a device's web page goes through the desktop's URL handler.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
