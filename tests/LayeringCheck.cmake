# The include check of cmake/CheckLayering.cmake against the game's own table of layers, on
# a scratch tree of one source file per case: each case is a file in a folder and one line it
# includes, and whether the check lets it pass. A refusal must name the file.
#
# cmake -DTABLE=<build>/layering/Table.cmake -DCHECK=<source>/cmake/CheckLayering.cmake
#       -DSCRATCH=<folder> -P LayeringCheck.cmake
cmake_minimum_required( VERSION 3.22 )
include( ${TABLE} )

# file | included line | 1 passes, 0 refused
set( cases
     "gfx/Rect.cpp|#include \"gfx/Image.h\"|1"
     "gfx/Rect.cpp|#include \"host/HostTypes.h\"|1"
     "gfx/Rect.cpp|#include \"hud/Hud.h\"|0"
     "gfx/Rect.cpp|#include \"platform/Display.h\"|0"
     "game/Tank.cpp|#include \"host/HostTypes.h\"|1"
     "game/Tank.cpp|#include \"lands/Style.h\"|0"
     "lands/Style.cpp|#include \"game/World.h\"|1"
     "lands/Style.cpp|#include \"play/Match.h\"|0"
     "play/Match.cpp|#include \"lands/Style.h\"|1"
     "play/Match.cpp|#include \"gfx/Image.h\"|1"
     "play/Match.cpp|#include \"hud/Hud.h\"|0"
     "ai/AimSearch.cpp|#include \"play/Match.h\"|1"
     "ai/AimSearch.cpp|#include \"hud/Hud.h\"|0"
     "hud/Hud.cpp|#include \"ai/AimSearch.h\"|0"
     "replay/ReplayFile.cpp|#include \"audio/Sound.h\"|0"
     "audio/Sound.cpp|#include \"replay/ReplayFile.h\"|0"
     "audio/Sound.cpp|#include \"settings/Settings.h\"|0"
     "net/Link.cpp|#include \"replay/ReplayFile.h\"|1"
     "net/Link.cpp|#include \"game/World.h\"|1"
     "net/Link.cpp|#include \"ai/AimSearch.h\"|0"
     "settings/Settings.cpp|#include \"host/HostFile.h\"|1"
     "settings/Settings.cpp|#include \"gfx/Image.h\"|0"
     "menus/Title.cpp|#include \"hud/Font.h\"|1"
     "menus/Title.cpp|#include \"settings/Settings.h\"|1"
     "menus/Title.cpp|#include \"game/World.h\"|1"
     "menus/Title.cpp|#include \"audio/Sound.h\"|0"
     "app/Game.cpp|#include \"menus/Title.h\"|1"
     "app/Game.cpp|#include \"net/Link.h\"|1"
     "host/HostFile.cpp|#include \"gfx/Image.h\"|0"
     "host/headless/Backend.cpp|#include \"host/HostFile.h\"|1"
     "host/headless/Backend.cpp|#include \"host/sdl/SdlBackend.h\"|0"
     "host/headless/Backend.cpp|#include \"gfx/Image.h\"|0"
     "host/sdl/SdlBackend.cpp|#include <SDL.h>|1"
     "host/headless/Backend.cpp|#include <SDL.h>|0"
     "gfx/Rect.h|#include <SDL2/SDL.h>|0"
     "app/Main.cpp|#include \"host/sdl/SdlBackend.h\"|1"
     "app/Game.cpp|#include \"host/sdl/SdlBackend.h\"|0"
     "game/Tank.cpp|#include \"stuff/Thing.h\"|0"
     "game/Tank.cpp|#include <vector>|1"
     "game/Tank.cpp|#include <sys/stat.h>|1"
     "game/Tank.cpp|  #  include   \"hud/Hud.h\"|0" )

set( failures 0 )
foreach( case ${cases} )
    string( REPLACE "|" ";" fields "${case}" )
    list( GET fields 0 file )
    list( GET fields 1 line )
    list( GET fields 2 passes )
    set( tree ${SCRATCH}/tree )
    file( REMOVE_RECURSE ${tree} )
    file( WRITE ${tree}/${file} "${line}\n" )
    # The program's entry may choose a backend, as in the real table.
    file( WRITE ${SCRATCH}/Table.cmake "set( KELTO_SOURCE_DIR \"${tree}\" )\n"
                                       "set( KELTO_LAYER_GRAPH \"${KELTO_LAYER_GRAPH}\" )\n"
                                       "set( KELTO_HOST_BACKENDS \"${KELTO_HOST_BACKENDS}\" )\n"
                                       "set( KELTO_PROGRAM_SOURCES \"${tree}/app/Main.cpp\" )\n" )
    execute_process( COMMAND ${CMAKE_COMMAND} -DKELTO_LAYERING_TABLE=${SCRATCH}/Table.cmake -P ${CHECK}
                     RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output )
    if( passes AND NOT result EQUAL 0 )
        message( SEND_ERROR "${file} with ${line} was refused:\n${output}" )
        math( EXPR failures "${failures} + 1" )
    elseif( NOT passes AND result EQUAL 0 )
        message( SEND_ERROR "${file} with ${line} passed the check" )
        math( EXPR failures "${failures} + 1" )
    elseif( NOT passes AND NOT output MATCHES "${file} includes" )
        message( SEND_ERROR "the refusal of ${file} with ${line} does not name the file:\n${output}" )
        math( EXPR failures "${failures} + 1" )
    endif()
endforeach()
file( REMOVE_RECURSE ${SCRATCH} )
list( LENGTH cases count )
if( failures GREATER 0 )
    message( FATAL_ERROR "${failures} of ${count} cases went wrong" )
endif()
message( "ok: ${count} includes checked against the layers" )
