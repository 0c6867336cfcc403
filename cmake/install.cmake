# What an installation holds: the command, its recordings, the desktop's menu entry,
# AppStream metadata, the icon in the icon theme, the manual page and the package's
# documents.
install(TARGETS tabro-kalvor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TK_WAVES} DESTINATION ${CMAKE_INSTALL_DATADIR}/tabro-kalvor/sounds)
install(FILES ${CMAKE_SOURCE_DIR}/data/${TK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/${TK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# Manual pages and changelogs are installed compressed, without a time stamp inside.
set(TK_COMPRESSED)
foreach(document tabro-kalvor.6 changelog)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${document}.gz
        COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/data/${document} > ${CMAKE_BINARY_DIR}/${document}.gz
        DEPENDS ${CMAKE_SOURCE_DIR}/data/${document} VERBATIM)
    list(APPEND TK_COMPRESSED ${CMAKE_BINARY_DIR}/${document}.gz)
endforeach()
add_custom_target(documents ALL DEPENDS ${TK_COMPRESSED})
install(FILES ${CMAKE_BINARY_DIR}/tabro-kalvor.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz ${CMAKE_SOURCE_DIR}/data/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
