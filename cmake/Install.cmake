# The installed layout: the programs in bin/, their own files (Template.dat, the help page) in
# share/keystead/, where the program looks for them when it is not run from its build folder;
# the desktop entry, the AppStream metadata and the icons under the application id; the manual
# pages and the package's documents, compressed as Debian wants them.
set(KEYSTEAD_SHARE_DIR ${CMAKE_INSTALL_DATADIR}/keystead)
set(KEYSTEAD_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/keystead)
set(KEYSTEAD_GENERATED ${CMAKE_BINARY_DIR}/install-files)
set(KEYSTEAD_RELEASE_DATE 2026-12-07)
set(KEYSTEAD_MAINTAINER "Keystead developers <developers@keystead.org>")
set(KEYSTEAD_HOMEPAGE https://keystead.org/)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS keystead keystead-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${KEYSTEAD_TEMPLATE} DESTINATION ${KEYSTEAD_SHARE_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/help DESTINATION ${KEYSTEAD_SHARE_DIR})
install(FILES resources/${KEYSTEAD_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Texts that carry the version or the release date are made from templates.
configure_file(resources/${KEYSTEAD_APP_ID}.metainfo.xml.in
               ${KEYSTEAD_GENERATED}/${KEYSTEAD_APP_ID}.metainfo.xml @ONLY)
install(FILES ${KEYSTEAD_GENERATED}/${KEYSTEAD_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES packaging/copyright DESTINATION ${KEYSTEAD_DOC_DIR})

# gzip -9n: compressed files carry no name or time, so the package is the same on each build.
find_program(KEYSTEAD_GZIP gzip REQUIRED)
set(KEYSTEAD_COMPRESSED)
function(keystead_compressed source output)
    configure_file(${source} ${KEYSTEAD_GENERATED}/${output} @ONLY)
    add_custom_command(
        OUTPUT ${KEYSTEAD_GENERATED}/${output}.gz
        COMMAND ${KEYSTEAD_GZIP} -9nkf ${KEYSTEAD_GENERATED}/${output}
        DEPENDS ${KEYSTEAD_GENERATED}/${output}
        VERBATIM)
    set(KEYSTEAD_COMPRESSED ${KEYSTEAD_COMPRESSED} ${KEYSTEAD_GENERATED}/${output}.gz PARENT_SCOPE)
endfunction()
keystead_compressed(resources/keystead.1 keystead.1)
keystead_compressed(resources/keystead-cli.1 keystead-cli.1)
keystead_compressed(packaging/changelog changelog.Debian)
install(FILES ${KEYSTEAD_GENERATED}/keystead.1.gz ${KEYSTEAD_GENERATED}/keystead-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KEYSTEAD_GENERATED}/changelog.Debian.gz DESTINATION ${KEYSTEAD_DOC_DIR})

# The program's icon for the desktop: the SVG as it is, and PNG renderings of it for the sizes
# the hicolor theme asks for.
set(KEYSTEAD_ICON_SVG ${CMAKE_SOURCE_DIR}/resources/icons/keystead.svg)
set(KEYSTEAD_ICON_SIZES 16 22 24 32 48 64 128 256 512)
find_program(KEYSTEAD_RSVG rsvg-convert REQUIRED)
set(KEYSTEAD_ICONS)
foreach(size ${KEYSTEAD_ICON_SIZES})
    set(png ${KEYSTEAD_GENERATED}/icons/${size}/${KEYSTEAD_APP_ID}.png)
    add_custom_command(
        OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${KEYSTEAD_GENERATED}/icons/${size}
        COMMAND ${KEYSTEAD_RSVG} --width ${size} --height ${size} -o ${png} ${KEYSTEAD_ICON_SVG}
        DEPENDS ${KEYSTEAD_ICON_SVG}
        VERBATIM)
    list(APPEND KEYSTEAD_ICONS ${png})
    install(FILES ${png}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${KEYSTEAD_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${KEYSTEAD_APP_ID}.svg)
add_custom_target(install_files ALL DEPENDS ${KEYSTEAD_ICONS} ${KEYSTEAD_COMPRESSED})
