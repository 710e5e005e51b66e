# Install rules of the window's package (component "window"); see
# CMakeLists.txt beside this file for the layout.
set(TAVOLIX_PROGRAM_DIR lib/tavolix)
set(TAVOLIX_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tavolix)
set(TAVOLIX_APP_ID org.tavolix.Tavolix)

install(TARGETS tavolix RUNTIME DESTINATION ${TAVOLIX_PROGRAM_DIR} COMPONENT window)

get_target_property(shipped_language_db language_db LANGUAGE_DB_FILE)
install(FILES ${shipped_language_db} DESTINATION ${TAVOLIX_DATA_DIR} COMPONENT window)

# The launcher finds the program and the database relative to its own
# location, so an install under any prefix works.
file(RELATIVE_PATH TAVOLIX_LAUNCHER_TO_PROGRAM /${CMAKE_INSTALL_BINDIR}
    /${TAVOLIX_PROGRAM_DIR}/tavolix)
file(RELATIVE_PATH TAVOLIX_LAUNCHER_TO_DATABASE /${CMAKE_INSTALL_BINDIR}
    /${TAVOLIX_DATA_DIR}/language.db)
configure_file(tavolix.in ${CMAKE_CURRENT_BINARY_DIR}/tavolix @ONLY)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/tavolix DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT window)

install(FILES ${TAVOLIX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
    COMPONENT window)
install(FILES ${TAVOLIX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    COMPONENT window)

# The bitmaps are the ones compiled into the program; the SVG is the same
# drawing for any other size.
foreach(size 16 32 48)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/images/tavolix-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME tavolix.png
        COMPONENT window)
endforeach()
install(FILES tavolix.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    COMPONENT window)

tavolix_install_gzipped(${CMAKE_CURRENT_SOURCE_DIR}/tavolix.1 tavolix.1
    ${CMAKE_INSTALL_MANDIR}/man1 window)

# Devices answer the search on UDP port 3566, ONVIF devices tavolixctl's
# probe on 3567, or, from a subnet without a route back, to the WS-Discovery
# group on 3702: a firewalld service and a ufw application profile let an
# admin open them by name (firewalld the group's 3702 alone, through its
# ws-discovery-udp service). The firewalld file is
# the vendor's default (/usr/lib); the ufw profile is a conffile, as ufw
# reads profiles only from /etc/ufw/applications.d (the prefix /usr installs
# it there).
install(FILES firewalld-tavolix.xml DESTINATION lib/firewalld/services RENAME tavolix.xml
    COMPONENT window)
install(FILES ufw-tavolix DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/ufw/applications.d
    RENAME tavolix COMPONENT window)
