# What an installation holds: the command, its recordings, the desktop's menu entry,
# AppStream metadata, the icon in the icon theme, the manual page and the package's
# documents. The text files are made from the identity in the top CMakeLists.txt.
set(TK_GENERATED ${CMAKE_BINARY_DIR}/generated)
configure_file(data/app.desktop.in ${TK_GENERATED}/${TK_APP_ID}.desktop @ONLY)
configure_file(data/app.metainfo.xml.in ${TK_GENERATED}/${TK_APP_ID}.metainfo.xml @ONLY)
configure_file(data/command.6.in ${TK_GENERATED}/${TK_COMMAND}.6 @ONLY)
configure_file(data/changelog.in ${TK_GENERATED}/changelog @ONLY)
configure_file(data/copyright.in ${TK_GENERATED}/copyright @ONLY)

install(TARGETS tabro-kalvor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TK_WAVES} DESTINATION ${TK_DATA_DIR}/sounds)
install(FILES ${TK_GENERATED}/${TK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TK_GENERATED}/${TK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The theme's icons are kept as "app"; installed, they take the application id as name.
file(GLOB TK_ICONS RELATIVE ${CMAKE_SOURCE_DIR}/data/icons CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/icons/hicolor/*/apps/app.*)
foreach(icon IN LISTS TK_ICONS)
    get_filename_component(folder ${icon} DIRECTORY)
    get_filename_component(type ${icon} LAST_EXT)
    install(FILES ${CMAKE_SOURCE_DIR}/data/icons/${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/${folder}
        RENAME ${TK_APP_ID}${type})
endforeach()

# Manual pages and changelogs are installed compressed, without a time stamp inside.
set(TK_COMPRESSED)
foreach(document ${TK_COMMAND}.6 changelog)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${document}.gz
        COMMAND gzip -9n -c ${TK_GENERATED}/${document} > ${CMAKE_BINARY_DIR}/${document}.gz
        DEPENDS ${TK_GENERATED}/${document} VERBATIM)
    list(APPEND TK_COMPRESSED ${CMAKE_BINARY_DIR}/${document}.gz)
endforeach()
add_custom_target(documents ALL DEPENDS ${TK_COMPRESSED})
install(FILES ${CMAKE_BINARY_DIR}/${TK_COMMAND}.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${TK_GENERATED}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# A ready broker for players anywhere: Mosquitto's configuration and its ACL.
install(FILES ${CMAKE_SOURCE_DIR}/data/broker/mosquitto.conf ${CMAKE_SOURCE_DIR}/data/broker/tabro-kalvor.acl
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
