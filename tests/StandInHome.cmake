# A stand-in for the home of whoever runs the tests. Every test runs with HOME and the XDG
# folders pointing here (tests/CMakeLists.txt) and is expected to make a scratch home of its
# own; one that forgets reads these settings, which are set against what the tests expect,
# and fails, or writes here, which the check after the suite finds.
#
# cmake -DHOME_DIR=<folder> -DMODE=make|check -P StandInHome.cmake
#   make:  the folder anew, holding the hostile settings and an empty pictures folder, and
#          beside it a list of everything in it with each file's checksum;
#   check: fails, naming what changed, unless the folder still matches that list.
cmake_minimum_required( VERSION 3.22 )

# Sets `out` to one line per folder and file under HOME_DIR, each file with its checksum.
function( list_home out )
    file( GLOB_RECURSE entries LIST_DIRECTORIES true ${HOME_DIR}/* ${HOME_DIR}/.* )
    list( SORT entries )
    set( lines )
    foreach( entry ${entries} )
        file( RELATIVE_PATH name ${HOME_DIR} ${entry} )
        if( IS_DIRECTORY ${entry} )
            list( APPEND lines "${name}/" )
        else()
            file( SHA256 ${entry} sum )
            list( APPEND lines "${name} ${sum}" )
        endif()
    endforeach()
    set( ${out} "${lines}" PARENT_SCOPE )
endfunction()

set( listing ${HOME_DIR}.list )
if( MODE STREQUAL "make" )
    file( REMOVE_RECURSE ${HOME_DIR} )
    file( MAKE_DIRECTORY ${HOME_DIR}/Pictures ${HOME_DIR}/.cache ${HOME_DIR}/.local/share ${HOME_DIR}/.local/state )
    file( WRITE ${HOME_DIR}/.config/kelto/settings.ini
          "# Not the tests' settings: every test must make a scratch home of its own.\n"
          "window = window\n"
          "scale = fit\n"
          "key_left = A\n"
          "key_right = D\n"
          "key_up = W\n"
          "key_down = S\n"
          "key_fire = Return\n"
          "gamepad = off\n"
          "pad_fire = b\n"
          "pad_dead_zone = 99\n"
          "players = 4\n"
          "level = hard\n"
          "volume = 0\n" )
    list_home( lines )
    string( REPLACE ";" "\n" text "${lines}" )
    file( WRITE ${listing} "${text}\n" )
    list( LENGTH lines count )
    message( "stand-in home ${HOME_DIR}: ${count} entries" )
elseif( MODE STREQUAL "check" )
    if( NOT EXISTS ${listing} )
        message( FATAL_ERROR "no ${listing}: the stand-in home was never made" )
    endif()
    file( STRINGS ${listing} before )
    list_home( after )
    set( changes )
    foreach( line ${before} )
        if( NOT line IN_LIST after )
            list( APPEND changes "changed or removed: ${line}" )
        endif()
    endforeach()
    foreach( line ${after} )
        if( NOT line IN_LIST before )
            list( APPEND changes "new or changed: ${line}" )
        endif()
    endforeach()
    if( changes )
        string( REPLACE ";" "\n  " text "${changes}" )
        message( FATAL_ERROR "a test touched the stand-in home ${HOME_DIR}:\n  ${text}" )
    endif()
    list( LENGTH after count )
    message( "stand-in home ${HOME_DIR} untouched: ${count} entries" )
else()
    message( FATAL_ERROR "MODE must be make or check" )
endif()
