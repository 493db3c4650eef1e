# Only the host layer's SDL backend may include or link SDL: the game's libraries must build
# and run on the headless backend alone. Checked at configure time, so a stray include fails
# the build for everyone, not only on machines without SDL.
function( kelto_check_sources_for_sdl )
    file( GLOB_RECURSE sources CONFIGURE_DEPENDS
        ${CMAKE_SOURCE_DIR}/app/*.cpp ${CMAKE_SOURCE_DIR}/app/*.h
        ${CMAKE_SOURCE_DIR}/gfx/*.cpp ${CMAKE_SOURCE_DIR}/gfx/*.h
        ${CMAKE_SOURCE_DIR}/platform/*.cpp ${CMAKE_SOURCE_DIR}/platform/*.h
        ${CMAKE_SOURCE_DIR}/land/*.cpp ${CMAKE_SOURCE_DIR}/land/*.h
        ${CMAKE_SOURCE_DIR}/game/*.cpp ${CMAKE_SOURCE_DIR}/game/*.h
        ${CMAKE_SOURCE_DIR}/audio/*.cpp ${CMAKE_SOURCE_DIR}/audio/*.h
        ${CMAKE_SOURCE_DIR}/host/*.cpp ${CMAKE_SOURCE_DIR}/host/*.h
        ${CMAKE_SOURCE_DIR}/host/headless/*.cpp ${CMAKE_SOURCE_DIR}/host/headless/*.h )
    # host/*.cpp recurses into the SDL backend, which is the one place allowed to include SDL.
    list( FILTER sources EXCLUDE REGEX "/host/sdl/" )
    foreach( source ${sources} )
        file( STRINGS ${source} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](SDL|SDL2/)" )
        if( hits )
            message( FATAL_ERROR "${source} includes SDL; only host/sdl/ may" )
        endif()
    endforeach()
endfunction()
kelto_check_sources_for_sdl()

function( kelto_check_no_sdl target )
    get_target_property( libraries ${target} LINK_LIBRARIES )
    foreach( library ${libraries} )
        if( library MATCHES "SDL|kelto_host_sdl" )
            message( FATAL_ERROR "${target} links ${library}; the game's libraries must not depend on SDL" )
        endif()
    endforeach()
endfunction()
