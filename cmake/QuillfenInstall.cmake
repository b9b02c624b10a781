# cmake --install: the program directory goes whole to lib/quillfen, because the programs find
# wavcat, ttyprompts, the prompts, the language libraries and the help pages beside themselves.
# PATH gets relative links into it, so the installed tree can be moved or staged with DESTDIR.
include(GNUInstallDirs)

# Literally lib/, not CMAKE_INSTALL_LIBDIR: this is a private program directory, not a place
# where libraries are looked up, and a multiarch libdir would only make the links longer.
set(QUILLFEN_INSTALL_PROGRAM_DIR lib/quillfen)

set(quillfen_programs quillfen-cli wavcat ttyprompts)
if(TARGET Quillfen)
  list(PREPEND quillfen_programs Quillfen)
endif()
install(TARGETS ${quillfen_programs} RUNTIME DESTINATION ${QUILLFEN_INSTALL_PROGRAM_DIR})
if(TARGET quillfen_audio_out)
  install(TARGETS quillfen_audio_out LIBRARY DESTINATION ${QUILLFEN_INSTALL_PROGRAM_DIR}/modules)
endif()
if(TARGET quillfen_web_page)
  install(TARGETS quillfen_web_page LIBRARY DESTINATION ${QUILLFEN_INSTALL_PROGRAM_DIR}/modules)
endif()

install(DIRECTORY ${QUILLFEN_PROGRAM_DIR}/ DESTINATION ${QUILLFEN_INSTALL_PROGRAM_DIR}
  FILES_MATCHING PATTERN "*.wav" PATTERN "*.WAV" PATTERN "*.dll" PATTERN "*.htm" PATTERN "*.css")

if(NOT WIN32)
  # Runs at install time, so the prefix is the one given to cmake --install, not the configured one.
  install(CODE [[
    function(quillfen_install_link bindir programdir name target)
      if(IS_ABSOLUTE "${bindir}")
        set(dir "${bindir}")
      else()
        set(dir "${CMAKE_INSTALL_PREFIX}/${bindir}")
      endif()
      file(RELATIVE_PATH relative "${dir}" "${CMAKE_INSTALL_PREFIX}/${programdir}/${target}")
      set(link "$ENV{DESTDIR}${dir}/${name}")
      message(STATUS "Installing: ${link} -> ${relative}")
      file(MAKE_DIRECTORY "$ENV{DESTDIR}${dir}")
      file(CREATE_LINK "${relative}" "${link}" SYMBOLIC)
      # Listed in install_manifest.txt like every other installed file, so uninstalling finds it.
      set(CMAKE_INSTALL_MANIFEST_FILES ${CMAKE_INSTALL_MANIFEST_FILES} "${link}" PARENT_SCOPE)
    endfunction()
  ]])
  if(TARGET Quillfen)
    install(CODE "quillfen_install_link([[${CMAKE_INSTALL_BINDIR}]] ${QUILLFEN_INSTALL_PROGRAM_DIR} quillfen Quillfen)")
  endif()
  install(CODE "quillfen_install_link([[${CMAKE_INSTALL_BINDIR}]] ${QUILLFEN_INSTALL_PROGRAM_DIR}
    quillfen-cli quillfen-cli)")
endif()

if(UNIX AND NOT APPLE)
  set(quillfen_icon_dir ${PROJECT_SOURCE_DIR}/resources/icons)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/quillfen.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${quillfen_icon_dir}/quillfen_16.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME quillfen.png)
  install(FILES ${quillfen_icon_dir}/quillfen_32.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME quillfen.png)
  install(FILES ${quillfen_icon_dir}/quillfen.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${QUILLFEN_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  # The metainfo names this file by the same path under the home host.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/screenshots/main-window.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/quillfen/screenshots)
  install(FILES ${QUILLFEN_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/copyright ${QUILLFEN_CHANGELOG}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillfen)
endif()
