# The menu entry, the icon, the metainfo and the Debian package that CPack builds from the
# install rules: cmake --build <folder> --target package.
set(app_id example.tempiqo.Rennuhr)
set(packaging ${CMAKE_CURRENT_SOURCE_DIR}/packaging)
install(FILES ${packaging}/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/${app_id}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging}/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian keeps a package's documents under the package's name; the changelog and the manual
# page are compressed without a time stamp.
function(rennuhr_gzip name)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/packaging/${name})
    add_custom_command(
        OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${packaging}/${name} ${copy}
        COMMAND gzip -9nf ${copy}
        DEPENDS ${packaging}/${name})
    add_custom_target(gzip_${name} ALL DEPENDS ${copy}.gz)
endfunction()
rennuhr_gzip(changelog)
rennuhr_gzip(Rennuhr.1)
set(docs ${CMAKE_INSTALL_DATADIR}/doc/rennuhr)
install(FILES ${packaging}/copyright ${packaging}/README.Debian
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${docs})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/Rennuhr.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
    GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rennuhr)
set(CPACK_PACKAGE_VENDOR Tempiqo)
set(CPACK_PACKAGE_CONTACT "Tempiqo <rennuhr@tempiqo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "race timer for two-lane drag races")
file(READ ${packaging}/description.txt CPACK_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tempiqo.example/rennuhr/)
# The libraries it links come from dpkg-shlibdeps; what it loads at run time is named here:
# the SVG engine for its icons, the SQLite driver of the results database, the icon theme, the
# fonts its windows are laid out for and Qt's German texts for the standard dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6svg6, libqt6sql6-sqlite, adwaita-icon-theme, fonts-liberation, qt6-translations-l10n")
include(CPack)
