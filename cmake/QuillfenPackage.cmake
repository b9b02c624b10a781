# make package: a .deb of what cmake --install puts under /usr, with its Depends worked out by
# dpkg-shlibdeps from the libraries the programs really link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillfen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Veltrane Systems, Inc.")
set(CPACK_PACKAGE_CONTACT "Quillfen developers <quillfen@veltrane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn typed text into WAV files of TTY/TDD tones")
set(CPACK_PACKAGE_DESCRIPTION
  "Quillfen turns typed text into a WAV file of TTY/TDD tones: the Baudot code,
at 45.45 baud with its letters and figures shifts, that text telephones for
the deaf speak. Use it to make greetings and prompts for phone and voicemail
systems, so that a deaf caller's text telephone prints the message.

The package holds the window program (quillfen), the command-line program
(quillfen-cli), which also decodes a WAV file to show what a text telephone
would print, and wavcat, which joins WAV files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories as Debian expects them, whatever the umask of whoever builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quillfen_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://${QUILLFEN_HOME_HOST}/App_Quillfen.htm")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Japanese language library needs a font with its characters, and Qt's own texts (file dialogs,
# message-box buttons) follow the chosen language only with Qt's translations; the rest works
# without either. File, Play Output File plays through a PulseAudio server (PipeWire's will do); Qt
# Multimedia's library, which dpkg-shlibdeps finds, brings the client.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, qt6-translations-l10n, pulseaudio | pipewire-pulse")

# cpack reads these when it runs, and refuses to package a build that lacks a part.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/QuillfenPackageChecks.cmake)
if(TARGET Quillfen)
  set(CPACK_QUILLFEN_HAVE_WINDOW_PROGRAM ON)
endif()
set(CPACK_QUILLFEN_MAN_PAGES "${QUILLFEN_MAN_PAGES}")

include(CPack)
