# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts in place, and the Debian package made from it (packaging/).
# Included after every target is defined, so the programs that exist in this build get installed.
include(GNUInstallDirs)

set(KELO_APP_ID app.kelolens.KeloLens)
set(_kelo_man_dir ${CMAKE_BINARY_DIR}/packaging/man)

# kelo_install_program(<target>): the program and its manual page packaging/<target>.1.
# Debian wants manual pages compressed (gzip -9n: no name or time stamp, so builds repeat).
function(kelo_install_program target)
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    set(page ${_kelo_man_dir}/${target}.1)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${target}.1 ${page} @ONLY)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND gzip -9nfk ${page}
        DEPENDS ${page}
        COMMENT "Compressing the manual page of ${target}")
    add_custom_target(${target}-man ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

if(TARGET kelolens)
    kelo_install_program(kelolens)
endif()
kelo_install_program(kelolens-recognize)

# The desktop entry names the program by its full path: KWin lets a program read the screen only
# when a desktop entry whose Exec is that program's own path asks for it. The installed entry
# names the installed program, whose prefix is known only when installing (cpack installs into
# /usr); the build tree gets one naming the program built there (share/applications), for the
# tests to install as the package does.
set(_kelo_entry_template ${PROJECT_SOURCE_DIR}/data/${KELO_APP_ID}.desktop.in)
set(_kelo_installed_entry ${CMAKE_BINARY_DIR}/packaging/${KELO_APP_ID}.desktop)
install(CODE "
    set(KELO_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kelolens\")
    configure_file(\"${_kelo_entry_template}\" \"${_kelo_installed_entry}\" @ONLY)
")
install(FILES ${_kelo_installed_entry} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
if(TARGET kelolens)
    set(KELO_PROGRAM "$<TARGET_FILE:kelolens>")
    configure_file(${_kelo_entry_template} ${CMAKE_BINARY_DIR}/packaging/build-tree-entry.in @ONLY)
    file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/share/applications/${KELO_APP_ID}.desktop
        INPUT ${CMAKE_BINARY_DIR}/packaging/build-tree-entry.in)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/${KELO_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The full-colour launcher icon (scalable/apps) and the monochrome tray icon (symbolic/apps).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/hicolor
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
    FILES_MATCHING PATTERN "*.svg")

# Debian reads the licence of a package from its copyright file.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelolens)

include(${PROJECT_SOURCE_DIR}/packaging/DebianPackage.cmake)
