# `cmake --install build --prefix P` installs Tolvar as a desktop program:
# P/bin/tolvar, its data in P/share/tolvar (the program seeds the user's own
# folder from it), a menu entry and an icon. Kept apart from the build-tree
# copy of the data, which makes build/ a portable program folder.
install(TARGETS tolvar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_CURRENT_LIST_DIR}/files/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvar)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/desktop/tolvar.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The menu entry names the installed program by its full path (the prefix is
# known only at install time), so it starts where ~/.local/bin is not on PATH.
install(CODE "
  set(exe \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tolvar\")
  file(READ \"${CMAKE_CURRENT_LIST_DIR}/desktop/tolvar.desktop.in\" entry)
  string(REPLACE \"@TOLVAR_EXEC@\" \"\${exe}\" entry \"\${entry}\")
  set(dest \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")
  file(MAKE_DIRECTORY \"\${dest}\")
  message(STATUS \"Installing: \${dest}/tolvar.desktop\")
  file(WRITE \"\${dest}/tolvar.desktop\" \"\${entry}\")
")
