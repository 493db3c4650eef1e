# Installing the game as a Linux game: the program, its pictures, a desktop entry, icons,
# AppStream metadata and a man page, laid out by GNUInstallDirs so that the program finds
# its data at ../share/kelto beside its own folder wherever the tree is moved. Only the game
# is installed: no tests, benchmarks or tools. CPack makes the Debian package from the same
# rules.
include( GNUInstallDirs )

set( KELTO_DIST ${CMAKE_SOURCE_DIR}/dist )
set( KELTO_DIST_OUT ${CMAKE_BINARY_DIR}/dist )
# AppStream wants the file named after the component's ID.
set( KELTO_APPSTREAM_ID io.github.kelto.kelto )
configure_file( ${KELTO_DIST}/${KELTO_APPSTREAM_ID}.metainfo.xml ${KELTO_DIST_OUT}/${KELTO_APPSTREAM_ID}.metainfo.xml @ONLY )
configure_file( ${KELTO_DIST}/kelto.6 ${KELTO_DIST_OUT}/kelto.6 @ONLY )
configure_file( ${KELTO_DIST}/kelto-relay.6 ${KELTO_DIST_OUT}/kelto-relay.6 @ONLY )
configure_file( ${KELTO_DIST}/changelog ${KELTO_DIST_OUT}/changelog @ONLY )

# Debian wants the manual page and the changelog compressed, without a time stamp.
find_program( GZIP_PROGRAM gzip REQUIRED )
foreach( name kelto.6 kelto-relay.6 changelog )
    add_custom_command( OUTPUT ${KELTO_DIST_OUT}/${name}.gz
        COMMAND ${GZIP_PROGRAM} -9n -c ${KELTO_DIST_OUT}/${name} > ${KELTO_DIST_OUT}/${name}.gz
        DEPENDS ${KELTO_DIST_OUT}/${name} )
endforeach()
add_custom_target( kelto_dist ALL DEPENDS ${KELTO_DIST_OUT}/kelto.6.gz ${KELTO_DIST_OUT}/kelto-relay.6.gz
                   ${KELTO_DIST_OUT}/changelog.gz )

# The Debian package puts the program in games/, as Debian does for games; the data folder
# is still ../share/kelto from there.
set( KELTO_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR} CACHE STRING "Where the program is installed, under the prefix" )
if( TARGET kelto_game )
    install( TARGETS kelto_game RUNTIME DESTINATION ${KELTO_INSTALL_BINDIR} )
endif()
# The relay, with a systemd unit that runs it sandboxed (systemctl enable --now kelto-relay).
if( TARGET kelto_relay )
    install( TARGETS kelto_relay RUNTIME DESTINATION ${KELTO_INSTALL_BINDIR} )
    set( KELTO_RELAY_PATH ${CMAKE_INSTALL_PREFIX}/${KELTO_INSTALL_BINDIR}/kelto-relay )
    if( CPACK_PACKAGING_INSTALL_PREFIX OR KELTO_INSTALL_BINDIR STREQUAL "games" )
        set( KELTO_RELAY_PATH /usr/${KELTO_INSTALL_BINDIR}/kelto-relay )
    endif()
    # Each room's referee is the headless game, reading the pictures installed below.
    install( TARGETS kelto_referee RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kelto )
    set( KELTO_REFEREE_PATH ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/kelto/kelto-referee )
    set( KELTO_DATA_PATH ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/kelto )
    if( CPACK_PACKAGING_INSTALL_PREFIX OR KELTO_INSTALL_BINDIR STREQUAL "games" )
        set( KELTO_REFEREE_PATH /usr/${CMAKE_INSTALL_LIBEXECDIR}/kelto/kelto-referee )
        set( KELTO_DATA_PATH /usr/${CMAKE_INSTALL_DATADIR}/kelto )
    endif()
    configure_file( ${KELTO_DIST}/kelto-relay.service ${KELTO_DIST_OUT}/kelto-relay.service @ONLY )
    install( FILES ${KELTO_DIST_OUT}/kelto-relay.service DESTINATION lib/systemd/system )
    install( FILES ${KELTO_DIST_OUT}/kelto-relay.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 )
endif()
file( GLOB KELTO_DATA_FILES ${CMAKE_SOURCE_DIR}/assets/*.bmp ${CMAKE_SOURCE_DIR}/assets/*.wav )
install( FILES ${KELTO_DATA_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/kelto )
install( FILES ${KELTO_DIST}/kelto.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications )
install( FILES ${KELTO_DIST_OUT}/${KELTO_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo )
install( FILES ${KELTO_DIST_OUT}/kelto.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 )
foreach( size 48 128 256 )
    install( FILES ${CMAKE_SOURCE_DIR}/assets/icons/kelto-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kelto.png )
endforeach()
install( FILES ${KELTO_DIST}/copyright ${KELTO_DIST_OUT}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelto )

set( CPACK_GENERATOR DEB )
set( CPACK_PACKAGE_NAME kelto )
set( CPACK_PACKAGE_VERSION ${PROJECT_VERSION} )
set( CPACK_PACKAGE_CONTACT "Kelto developers <maintainers@users.noreply.c-seed-7160abad.example>" )
set( CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn-based tank artillery on a destructible land" )
set( CPACK_PACKAGE_DESCRIPTION "Four tanks stand on a destructible landscape twice the size of the
screen. They take turns to drive over the ground, aim, charge and fire; a
bomb flies a ballistic arc and blows a crater out of the land, and tanks
whose ground is gone fall. The first player to score the match's number of
hits wins." )
set( CPACK_DEBIAN_FILE_NAME DEB-DEFAULT )
set( CPACK_DEBIAN_PACKAGE_SECTION games )
set( CPACK_DEBIAN_PACKAGE_PRIORITY optional )
set( CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON )
set( CPACK_STRIP_FILES ON )
set( CPACK_PACKAGING_INSTALL_PREFIX /usr )
set( CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package )
include( CPack )
