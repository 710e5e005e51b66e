# The Debian packages, built by CPack from the install rules in one run:
#   cmake --build BUILD --target package
#   tavolix_VERSION_ARCH.deb      the window (install component "window")
#   tavolix-cli_VERSION_ARCH.deb  tavolixctl (install component "cli"), no Qt
#   tavolix-ansible_VERSION_all.deb  the Ansible collection tavolix.site
#                                 (install component "ansible")
# Each is built when this configuration builds its contents, so a build
# without the window (TAVOLIX_BUILD_GUI=OFF) still packages tavolixctl.
# None needs maintainer scripts: the menu, icon and manual caches are
# refreshed by the triggers of the packages that own them.
set(tavolix_packaged_components "")
if(TARGET tavolix)
    list(APPEND tavolix_packaged_components window)
endif()
if(TARGET tavolixctl)
    list(APPEND tavolix_packaged_components cli)
endif()
if(TARGET tavolix_ansible_collection)
    list(APPEND tavolix_packaged_components ansible)
endif()
if(NOT tavolix_packaged_components)
    return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${tavolix_packaged_components})
set(CPACK_PACKAGE_NAME tavolix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavolix developers")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TAVOLIX_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE tavolix)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAVOLIX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The window. dpkg-shlibdeps finds the libraries the program links (Qt 6,
# SQLite, xcb, the C++ runtime); the rest are what it needs at run time
# without linking: the xcb platform plugin, the fonts the window asks for
# (Arial, met by Liberation Sans, and the CJK fonts for the Chinese and
# Japanese texts) and the sqlite3 command the launcher carries the language
# choice over with. Opening a device's web page goes through the desktop's
# URL handler.
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME tavolix)
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
    "find IP cameras on the local network and change their network settings\n\
Tavolix finds network appliances such as IP cameras and video recorders on\n\
the local network segment by a UDP broadcast, lists them, shows a selected\n\
device's network settings and sends changed settings back to it. Its window\n\
speaks English, Simplified Chinese, Traditional Chinese, French, German and\n\
Japanese.")
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-liberation2, fonts-noto-cjk, sqlite3")
# Opening a device's web page goes through the desktop's URL handler; on a
# Wayland desktop without XWayland the window needs Qt's Wayland plugin.
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
# The ufw application profile lives in /etc, where the admin may edit it.
set(CPACK_DEBIAN_WINDOW_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/conffiles)

# The command-line tool: only what dpkg-shlibdeps finds, the C and C++
# runtimes; nothing of Qt.
set(CPACK_DEBIAN_CLI_PACKAGE_NAME tavolix-cli)
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "find and re-address IP cameras from the command line\n\
tavolixctl finds network appliances such as IP cameras and video recorders\n\
on the local network segment by a UDP broadcast, as the Tavolix window does,\n\
and prints them as a table, CSV or JSON. It changes a device's network\n\
settings, plans addresses for many devices and applies a plan read from a\n\
CSV file, then verifies that every device took its new settings. It runs\n\
without a desktop.")

# The Ansible collection: Python modules and their documentation, the same on
# every architecture, nothing for dpkg-shlibdeps to look at. Its modules run
# tavolixctl on the managed hosts, not on the controller it is installed on,
# so tavolix-cli is only suggested.
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_NAME tavolix-ansible)
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_DEPENDS "ansible-core (>= 2.14) | ansible")
set(CPACK_DEBIAN_ANSIBLE_PACKAGE_SUGGESTS tavolix-cli)
set(CPACK_DEBIAN_ANSIBLE_DESCRIPTION
    "Ansible collection to find and re-address IP cameras across a site\n\
The Ansible collection tavolix.site finds network appliances such as IP\n\
cameras and video recorders on every segment of a site and changes their\n\
network settings. Its modules run tavolixctl (package tavolix-cli) on one\n\
managed host per segment: devices_info lists the devices, device\n\
sets one device's settings and plan applies a CSV plan, with check mode,\n\
diff and verification. Install it on the Ansible controller.")

include(CPack)
