# The browser build: the game's libraries with the web backend, compiled by Emscripten into
# kelto.js and kelto.wasm, the pictures packed into kelto.data, and our own page beside them,
# all in the build folder, ready to be served as it is (scripts/serve.sh).
file( GLOB KELTO_WEB_SOURCES CONFIGURE_DEPENDS host/web/*.cpp )
add_library( kelto_host_web STATIC ${KELTO_WEB_SOURCES} )
add_dependencies( kelto_host_web kelto_layering )
target_link_libraries( kelto_host_web PUBLIC kelto_layer_host )

add_executable( kelto_web app/WebMain.cpp )
set_target_properties( kelto_web PROPERTIES OUTPUT_NAME kelto SUFFIX .js )
# The headless backend runs timedemos (?timedemo=golden.krec, ?timedemo=land.krec), which
# check that the browser plays the committed golden replays to the desktop's checksums.
target_link_libraries( kelto_web PRIVATE kelto kelto_host_web kelto_host_headless )
set( KELTO_WEB_PICTURES background.bmp land.bmp tank.bmp bomb.bmp )
set( KELTO_WEB_PRELOAD )
foreach( picture ${KELTO_WEB_PICTURES} )
    list( APPEND KELTO_WEB_PRELOAD "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/assets/${picture}@/${picture}" )
endforeach()
foreach( replay golden.krec land.krec )
    list( APPEND KELTO_WEB_PRELOAD "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/tests/replays/${replay}@/${replay}" )
endforeach()
# The sounds are not packed: the page makes them at start-up with the game's own synthesis
# (app/WebMain.cpp), which is far smaller than the WAV files.
# The page passes the options in its address as the program's arguments; the game's state
# grows with the land, so memory may grow too.
# Online matches go through the page's WebSocket (host/web/WebHostSocket.cpp).
target_link_options( kelto_web PRIVATE ${KELTO_WEB_PRELOAD} -lwebsocket.js -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web
                     -sEXIT_RUNTIME=0 )

set( KELTO_WEB_PAGE index.html kelto.css kelto-page.js )
foreach( file ${KELTO_WEB_PAGE} )
    configure_file( ${CMAKE_SOURCE_DIR}/web/${file} ${CMAKE_BINARY_DIR}/${file} COPYONLY )
endforeach()
configure_file( ${CMAKE_SOURCE_DIR}/assets/icons/kelto-48.png ${CMAKE_BINARY_DIR}/kelto-48.png COPYONLY )

# The tests of the pixel work that has browser paths of its own (the blit, the sprites' rows)
# and of the view, whose rows written whole and kept lines run there too,
# built for Node.js with the test framework compiled from its Debian sources, so that those
# paths meet the same pixel-by-pixel references as the desktop's (scripts/browser-test.sh runs
# them). Synchronous start-up: this Emscripten's asynchronous one fetches the code by URL,
# which newer Node.js refuses for a file's path.
set( KELTO_GTEST_SOURCE /usr/src/googletest/googletest )
if( EXISTS ${KELTO_GTEST_SOURCE}/src/gtest-all.cc )
    add_library( kelto_web_gtest STATIC ${KELTO_GTEST_SOURCE}/src/gtest-all.cc ${KELTO_GTEST_SOURCE}/src/gtest_main.cc )
    target_include_directories( kelto_web_gtest PUBLIC ${KELTO_GTEST_SOURCE}/include ${KELTO_GTEST_SOURCE} )
    # One program for all of them: each program links the whole game, and linking is most of
    # the browser build's time.
    add_executable( kelto_web_tests tests/HostBlitTest.cpp tests/SpriteTest.cpp tests/RotatedSpriteTest.cpp
                    tests/HudTest.cpp tests/support/ShortOfMemory.cpp tests/support/LandScene.cpp
                    tests/support/TestScreen.cpp tests/support/HeadlessScope.cpp tests/support/BmpWriter.cpp )
    target_link_libraries( kelto_web_tests PRIVATE kelto kelto_host_headless kelto_web_gtest )
    target_link_options( kelto_web_tests PRIVATE -sENVIRONMENT=node -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1
                         -sWASM_ASYNC_COMPILATION=0 )
    set_target_properties( kelto_web_tests PROPERTIES OUTPUT_NAME PixelTests SUFFIX .js )
endif()

# The headless timedemo for Node.js with the functions' names kept, for scripts/profile-web.sh
# to set the browser's time per function beside the desktop's; built only when asked for.
add_executable( kelto_web_timedemo EXCLUDE_FROM_ALL tools/kelto_headless.cpp )
target_link_libraries( kelto_web_timedemo PRIVATE kelto kelto_host_web kelto_host_headless )
target_link_options( kelto_web_timedemo PRIVATE --profiling-funcs -lwebsocket.js -sNODERAWFS=1 -sENVIRONMENT=node
                     -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 -sWASM_ASYNC_COMPILATION=0 )
set_target_properties( kelto_web_timedemo PROPERTIES OUTPUT_NAME kelto_timedemo SUFFIX .js )
