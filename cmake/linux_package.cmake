# `cmake --build --preset linux --target package` makes the Debian package of the Linux program: vaskf5, its
# menu entry and icon, the README and licence. Included once the program's target exists.
include(GNUInstallDirs)
install(TARGETS vaskf5 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/assets/linux/vaskf5.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/assets/src/icon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME vaskf5.svg)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vaskf5)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vaskf5)
set(CPACK_PACKAGE_VENDOR "Vask F5")
set(CPACK_PACKAGE_CONTACT "Vask F5 maintainers <maintainers@users.noreply.c-seed-829950ce.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Refreshes the ticked browsers when you save with Ctrl+S")
set(CPACK_PACKAGE_DESCRIPTION "While it runs, Ctrl then S in any X11 program refreshes the Chromium and Firefox\
 windows you have ticked; it can also make them translucent or keep them on top.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
# The libraries it links, found by dpkg-shlibdeps, plus the CJK font its captions are drawn in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "chromium | firefox-esr | firefox")
include(CPack)
