# Keeps the layers pointing one way. Checked at configure time, so a stray include fails the
# build for everyone at once, not only on the machine of whoever links the odd test.
#
# KELTO_LAYERS (highest first) and KELTO_HOST_BACKENDS come from the top-level CMakeLists.txt:
#   - a layer's sources may include headers of their own folder and of the layers below it;
#   - a host backend's sources may include their own folder and the host layer;
#   - only host/sdl/ may include SDL;
#   - a quoted include of a folder the table does not know fails, so a new folder gets its
#     place in the table before anything includes it.
# The program's entry (KELTO_PROGRAM_SOURCES), tools, tests, benchmarks and fuzz targets choose
# a backend and may include anything.

# Fails when one of `sources` includes a folder outside `allowed`. `name` says who is checking.
function( kelto_check_includes name sources allowed known )
    foreach( source ${sources} )
        if( source IN_LIST KELTO_PROGRAM_SOURCES )
            continue()
        endif()
        file( STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]" )
        foreach( line ${lines} )
            string( REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]*)[>\"].*$" "\\1\\2" include "${line}" )
            string( SUBSTRING "${include}" 0 1 quote )
            string( SUBSTRING "${include}" 1 -1 path )
            file( RELATIVE_PATH where ${CMAKE_SOURCE_DIR} ${source} )
            if( path MATCHES "^SDL" )
                if( NOT name STREQUAL "host/sdl" )
                    message( FATAL_ERROR "${where} includes <${path}>: only host/sdl/ may include SDL" )
                endif()
                continue()
            endif()
            get_filename_component( folder "${path}" DIRECTORY )
            if( folder STREQUAL "" OR folder IN_LIST allowed )
                continue()
            endif()
            if( folder IN_LIST known )
                string( REPLACE ";" ", " list "${allowed}" )
                message( FATAL_ERROR "${where} includes ${path}: ${name} may include only ${list}" )
            endif()
            if( quote STREQUAL "\"" )
                message( FATAL_ERROR "${where} includes ${path}: ${folder}/ has no place in KELTO_LAYERS "
                                     "or KELTO_HOST_BACKENDS (CMakeLists.txt)" )
            endif()
        endforeach()
    endforeach()
endfunction()

function( kelto_check_layering )
    set( known ${KELTO_LAYERS} )
    foreach( backend ${KELTO_HOST_BACKENDS} )
        list( APPEND known host/${backend} )
    endforeach()

    list( LENGTH KELTO_LAYERS count )
    math( EXPR last "${count} - 1" )
    foreach( index RANGE ${last} )
        list( GET KELTO_LAYERS ${index} layer )
        list( SUBLIST KELTO_LAYERS ${index} -1 allowed )
        file( GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${layer}/*.cpp ${CMAKE_SOURCE_DIR}/${layer}/*.h )
        kelto_check_includes( ${layer} "${sources}" "${allowed}" "${known}" )
    endforeach()

    foreach( backend ${KELTO_HOST_BACKENDS} )
        file( GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/${backend}/*.cpp
              ${CMAKE_SOURCE_DIR}/host/${backend}/*.h )
        kelto_check_includes( host/${backend} "${sources}" "host;host/${backend}" "${known}" )
    endforeach()
endfunction()

# Fails when a game library links SDL or a host backend: they build and run on any backend.
function( kelto_check_links_no_backend target )
    get_target_property( libraries ${target} LINK_LIBRARIES )
    foreach( library ${libraries} )
        if( library MATCHES "SDL|^kelto_host_" )
            message( FATAL_ERROR "${target} links ${library}; only the program, tools, tests and "
                                 "benchmarks choose a backend" )
        endif()
    endforeach()
endfunction()
