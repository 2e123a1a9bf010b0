# What `cmake --install` puts where, and the two Debian packages CPack makes
# of it (scripts/package-deb.sh): every rule belongs to a component, "player"
# (package orvantis) or "bridge" (package orvantis-bridge, all that the
# broker's computer and a site's bridge need, without the player's
# libraries). Included by the top-level CMakeLists.txt after every target is
# defined, so that the programs found here are all there are.
include(GNUInstallDirs)

set(ORVANTIS_VERSION 1.2.0)

# Debian wants the manual pages and the change log compressed, without a
# time stamp in the gzip header so that two builds give the same bytes.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(ORVANTIS_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
set(ORVANTIS_MAN_PAGE ${CMAKE_BINARY_DIR}/orvantis.1.gz)
set(ORVANTIS_BRIDGE_MAN_PAGE ${CMAKE_BINARY_DIR}/orvantis_bridge.1.gz)
foreach(gzipped ${ORVANTIS_CHANGELOG} ${ORVANTIS_MAN_PAGE} ${ORVANTIS_BRIDGE_MAN_PAGE})
  get_filename_component(name ${gzipped} NAME_WLE)
  add_custom_command(
    OUTPUT ${gzipped}
    COMMAND ${GZIP_PROGRAM} -9nc ${CMAKE_SOURCE_DIR}/doc/${name} > ${gzipped}
    DEPENDS ${CMAKE_SOURCE_DIR}/doc/${name}
    VERBATIM)
endforeach()
add_custom_target(install_docs ALL DEPENDS ${ORVANTIS_MAN_PAGE} ${ORVANTIS_BRIDGE_MAN_PAGE} ${ORVANTIS_CHANGELOG})

# --- The player ---
install(TARGETS orvantis RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT player)
# The key-allocation screen is drawn at build time; the program finds it at
# <program folder>/../share/orvantis/ when its working folder has none.
install(FILES ${CMAKE_BINARY_DIR}/keyallocation_01.jpg DESTINATION ${CMAKE_INSTALL_DATADIR}/orvantis COMPONENT player)
install(FILES ${ORVANTIS_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT player)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/doc/copyright ${ORVANTIS_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvantis COMPONENT player)
# Rehearsals: the virtual camera in a folder of its own (it is preloaded,
# never linked), and the launcher that plays a recording through it, which
# finds it relative to itself wherever the installation lies.
file(RELATIVE_PATH ORVANTIS_VCAM_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/orvantis)
configure_file(${CMAKE_SOURCE_DIR}/tools/orvantis-rehearse.in ${CMAKE_BINARY_DIR}/orvantis-rehearse @ONLY)
install(TARGETS vcam LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/orvantis COMPONENT player)
install(PROGRAMS ${CMAKE_BINARY_DIR}/orvantis-rehearse DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT player)
# Its manual is the player's (ENVIRONMENT), under its own name too.
file(CREATE_LINK orvantis.1.gz ${CMAKE_BINARY_DIR}/orvantis-rehearse.1.gz SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/orvantis-rehearse.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT player)
# Start at log-on: its systemd user unit (one instance per installation
# folder), written at install time as the bridge's below, and the menu entry.
set(ORVANTIS_PLAYER_UNIT ${CMAKE_BINARY_DIR}/orvantis@.service)
install(CODE "
  set(ORVANTIS_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  if(NOT IS_ABSOLUTE \"\${ORVANTIS_BINDIR}\")
    set(ORVANTIS_BINDIR \"\${CMAKE_INSTALL_PREFIX}/\${ORVANTIS_BINDIR}\")
  endif()
  configure_file(\"${CMAKE_SOURCE_DIR}/packaging/orvantis@.service.in\" \"${ORVANTIS_PLAYER_UNIT}\" @ONLY)"
  COMPONENT player)
install(FILES ${ORVANTIS_PLAYER_UNIT} DESTINATION lib/systemd/user COMPONENT player)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/orvantis.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        COMPONENT player)

# --- The bridge, when the build has one ---
# Its systemd user unit starts the program where this installation puts it:
# the unit is written at install time, when the prefix is known (a
# `cmake --install --prefix` may name another one than the configured prefix,
# and CPack installs under /usr).
if(TARGET orvantis_bridge)
  set(ORVANTIS_BRIDGE_UNIT ${CMAKE_BINARY_DIR}/orvantis-bridge.service)
  install(CODE "
    set(ORVANTIS_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
    if(NOT IS_ABSOLUTE \"\${ORVANTIS_BINDIR}\")
      set(ORVANTIS_BINDIR \"\${CMAKE_INSTALL_PREFIX}/\${ORVANTIS_BINDIR}\")
    endif()
    configure_file(\"${CMAKE_SOURCE_DIR}/bridge/systemd/orvantis-bridge.service.in\"
                   \"${ORVANTIS_BRIDGE_UNIT}\" @ONLY)" COMPONENT bridge)
  install(TARGETS orvantis_bridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT bridge)
  install(FILES ${ORVANTIS_BRIDGE_UNIT} DESTINATION lib/systemd/user COMPONENT bridge)
  install(FILES ${ORVANTIS_BRIDGE_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT bridge)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/bridge/web/ DESTINATION ${CMAKE_INSTALL_DATADIR}/orvantis-bridge/web
          COMPONENT bridge)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/doc/copyright ${ORVANTIS_CHANGELOG}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvantis-bridge COMPONENT bridge)
endif()

# --- Debian packages, one per component ---
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL player)
if(TARGET orvantis_bridge)
  list(APPEND CPACK_COMPONENTS_ALL bridge)
endif()
set(CPACK_PACKAGE_NAME orvantis)
set(CPACK_PACKAGE_VERSION ${ORVANTIS_VERSION})
set(CPACK_PACKAGE_CONTACT "ORVANTIS maintainers <maintainers@users.noreply.c-seed-46336c7e.example>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Each package depends on the libraries its own programs link (dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The descriptions: the summary line, then the extended text, which CPack
# indents, marking the empty line.
set(CPACK_DEBIAN_PLAYER_PACKAGE_NAME orvantis)
set(CPACK_DEBIAN_PLAYER_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PLAYER_DESCRIPTION
    "frame-folder player steered by keyboard and webcam motion
ORVANTIS plays contents: folders of numbered JPEG frames (S001, S002, ...)
that lie beside its working folder. The viewer steps, jumps, replays at
five speeds and mirrors the picture from the keyboard, or plays the frames
by moving in front of a webcam: motion advances them, stillness holds them.

Several copies on one computer pool their motion through a shared memory
section, so a copy without a camera follows the others; the package
orvantis-bridge joins the pools of several computers. Videos named on the
command line are cut into frame folders with ffmpeg.")
# ffmpeg because the player runs it to import videos and will not start
# without it.
set(CPACK_DEBIAN_PLAYER_PACKAGE_DEPENDS ffmpeg)
set(CPACK_DEBIAN_PLAYER_PACKAGE_SUGGESTS orvantis-bridge)

set(CPACK_DEBIAN_BRIDGE_PACKAGE_NAME orvantis-bridge)
set(CPACK_DEBIAN_BRIDGE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_BRIDGE_DESCRIPTION
    "motion pool of ORVANTIS players on several computers, over MQTT
The copies of the ORVANTIS player on one computer pool their motion through
a shared memory section. orvantis_bridge carries that pool between
computers through an MQTT broker: one bridge runs on each computer, as a
systemd user service of the user who runs the players.

The package also holds the page that shows the pool live, for the broker
to serve over WebSockets; the broker's computer needs no player.")
# The broker that serves the pool and its page.
set(CPACK_DEBIAN_BRIDGE_PACKAGE_SUGGESTS mosquitto)
include(CPack)
