# `cmake --install build [--prefix DIR]`: the program, the backup tool it runs
# (found beside it), the web pages' engine module (found in the library folder
# next to bin/, see QELWebViewModule.cpp), the desktop entry, the icons and
# the AppStream metainfo. Everything else the program needs is built into it.
include(GNUInstallDirs)

install(TARGETS orvane orvane-mobilebackup RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS orvane_webengine LIBRARY DESTINATION ${ORVANE_INSTALL_MODULEDIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/org.orvane.Orvane.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/org.orvane.Orvane.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${CMAKE_SOURCE_DIR}/resources/images/orvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME org.orvane.Orvane.svg)
