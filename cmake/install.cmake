# What `cmake --install` puts where, and the Debian package CPack makes of it
# (scripts/package-deb.sh). Included by the top-level CMakeLists.txt after
# every target is defined, so that the programs found here are all there are.
include(GNUInstallDirs)

set(ORVANTIS_VERSION 1.2.0)

install(TARGETS orvantis RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The bridge goes along when the build has one, with its manual page, its
# systemd user unit and the page that shows the pool. The check waits until
# the top-level CMakeLists.txt has defined every target, wherever this file
# is included from.
function(orvantis_install_bridge)
  if(TARGET orvantis_bridge)
    install(TARGETS orvantis_bridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${CMAKE_BINARY_DIR}/orvantis_bridge.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_SOURCE_DIR}/bridge/systemd/orvantis-bridge.service DESTINATION lib/systemd/user)
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/bridge/web/ DESTINATION ${CMAKE_INSTALL_DATADIR}/orvantis/web)
  endif()
endfunction()
if(CMAKE_VERSION VERSION_GREATER_EQUAL 3.19)
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL orvantis_install_bridge)
else()
  orvantis_install_bridge()
endif()

# The key-allocation screen is drawn at build time; the program finds it at
# <program folder>/../share/orvantis/ when its working folder has none.
install(FILES ${CMAKE_BINARY_DIR}/keyallocation_01.jpg DESTINATION ${CMAKE_INSTALL_DATADIR}/orvantis)

# Debian wants the manual page and the change log compressed, without a time
# stamp in the gzip header so that two builds give the same bytes.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(ORVANTIS_MAN_PAGE ${CMAKE_BINARY_DIR}/orvantis.1.gz)
set(ORVANTIS_BRIDGE_MAN_PAGE ${CMAKE_BINARY_DIR}/orvantis_bridge.1.gz)
set(ORVANTIS_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${ORVANTIS_MAN_PAGE}
  COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_SOURCE_DIR}/doc/orvantis.1 > ${ORVANTIS_MAN_PAGE}
  DEPENDS ${CMAKE_SOURCE_DIR}/doc/orvantis.1
  VERBATIM)
add_custom_command(
  OUTPUT ${ORVANTIS_BRIDGE_MAN_PAGE}
  COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_SOURCE_DIR}/doc/orvantis_bridge.1 > ${ORVANTIS_BRIDGE_MAN_PAGE}
  DEPENDS ${CMAKE_SOURCE_DIR}/doc/orvantis_bridge.1
  VERBATIM)
add_custom_command(
  OUTPUT ${ORVANTIS_CHANGELOG}
  COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_SOURCE_DIR}/doc/changelog > ${ORVANTIS_CHANGELOG}
  DEPENDS ${CMAKE_SOURCE_DIR}/doc/changelog
  VERBATIM)
add_custom_target(install_docs ALL DEPENDS ${ORVANTIS_MAN_PAGE} ${ORVANTIS_BRIDGE_MAN_PAGE} ${ORVANTIS_CHANGELOG})

install(FILES ${ORVANTIS_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/doc/copyright ${ORVANTIS_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvantis)

# --- Debian package ---
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvantis)
set(CPACK_PACKAGE_VERSION ${ORVANTIS_VERSION})
set(CPACK_PACKAGE_CONTACT "ORVANTIS maintainers <maintainers@users.noreply.c-seed-46336c7e.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "frame-folder player steered by keyboard and webcam motion")
# The extended description; CPack indents it and marks the empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "ORVANTIS plays contents: folders of numbered JPEG frames (S001, S002, ...)
that lie beside its working folder. The viewer steps, jumps, replays at
five speeds and mirrors the picture from the keyboard, or plays the frames
by moving in front of a webcam: motion advances them, stillness holds them.

Several copies on one computer pool their motion through a shared memory
section, so a copy without a camera follows the others. Videos named on the
command line are cut into frame folders with ffmpeg.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries from what the program links (dpkg-shlibdeps); ffmpeg because
# the program runs it to import videos and will not start without it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS ffmpeg)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
