# Keeps the layers pointing one way, at every build: the check is a step every layer library
# waits for, run again whenever a layer's source or header changes, so a stray include fails
# the next `cmake --build`, not only the next configure.
#
# Included by the top-level CMakeLists.txt, this file reads the graph (KELTO_LAYER_GRAPH),
# makes one library per layer linked along its arrows, and adds the check. Run as a script
# (cmake -DKELTO_LAYERING_TABLE=<file> -P CheckLayering.cmake) it is the check itself:
#   - a layer's sources may include its own folder and the layers its arrows reach;
#   - a host backend's sources may include their own folder and the host layer;
#   - only host/sdl/ may include SDL;
#   - a quoted include of a folder the table does not know fails, so a new folder gets its
#     place in the table before anything includes it.
# The program's entries (KELTO_PROGRAM_SOURCES), tools, tests, benchmarks and fuzz targets
# choose a backend and may include anything.
if( CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE )
    cmake_minimum_required( VERSION 3.22 )
endif()

# Reads KELTO_LAYER_GRAPH ("layer:below,below" entries) into KELTO_LAYERS and, for each layer,
# KELTO_LAYER_ARROWS_<layer>: the layers it stands on directly. Fails on an arrow to a layer
# the table does not hold.
macro( kelto_read_layer_graph )
    set( KELTO_LAYERS )
    foreach( entry ${KELTO_LAYER_GRAPH} )
        string( REPLACE ":" ";" fields "${entry}" )
        list( GET fields 0 layer )
        list( APPEND KELTO_LAYERS ${layer} )
        set( KELTO_LAYER_ARROWS_${layer} )
        list( LENGTH fields count )
        if( count GREATER 1 )
            list( GET fields 1 arrows )
            string( REPLACE "," ";" KELTO_LAYER_ARROWS_${layer} "${arrows}" )
        endif()
    endforeach()
    foreach( layer ${KELTO_LAYERS} )
        foreach( below ${KELTO_LAYER_ARROWS_${layer}} )
            if( NOT below IN_LIST KELTO_LAYERS )
                message( FATAL_ERROR "KELTO_LAYER_GRAPH: ${layer} stands on ${below}, which has no entry" )
            endif()
        endforeach()
    endforeach()
endmacro()

# Sets `out` to every layer `layer` stands on, directly or through others. Fails on a cycle.
function( kelto_layer_reach layer out )
    set( reach )
    set( todo ${KELTO_LAYER_ARROWS_${layer}} )
    while( todo )
        list( POP_FRONT todo next )
        if( next STREQUAL layer )
            message( FATAL_ERROR "KELTO_LAYER_GRAPH: ${layer} stands on itself through its arrows" )
        endif()
        if( NOT next IN_LIST reach )
            list( APPEND reach ${next} )
            list( APPEND todo ${KELTO_LAYER_ARROWS_${next}} )
        endif()
    endwhile()
    set( ${out} ${reach} PARENT_SCOPE )
endfunction()

# Sets `out` to a layer's sources and headers; empty when its folder is absent or empty.
# At configure time the build looks again when files come or go.
function( kelto_layer_files layer out )
    set( patterns ${KELTO_SOURCE_DIR}/${layer}/*.cpp ${KELTO_SOURCE_DIR}/${layer}/*.h )
    if( CMAKE_SCRIPT_MODE_FILE )
        file( GLOB files ${patterns} )
    else()
        file( GLOB files CONFIGURE_DEPENDS ${patterns} )
    endif()
    set( ${out} ${files} PARENT_SCOPE )
endfunction()

# Sets `out` to the libraries a layer links: its arrows, with an arrow to an absent layer
# replaced by that layer's own arrows.
function( kelto_layer_links layer out )
    set( links )
    foreach( below ${KELTO_LAYER_ARROWS_${layer}} )
        kelto_layer_files( ${below} files )
        if( files )
            list( APPEND links kelto_layer_${below} )
        else()
            kelto_layer_links( ${below} further )
            list( APPEND links ${further} )
        endif()
    endforeach()
    list( REMOVE_DUPLICATES links )
    set( ${out} ${links} PARENT_SCOPE )
endfunction()

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
            file( RELATIVE_PATH where ${KELTO_SOURCE_DIR} ${source} )
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
                message( FATAL_ERROR "${where} includes ${path}: ${folder}/ has no place in KELTO_LAYER_GRAPH "
                                     "or KELTO_HOST_BACKENDS (CMakeLists.txt)" )
            endif()
        endforeach()
    endforeach()
endfunction()

# The check itself, over every layer and backend in the table.
function( kelto_check_layering )
    kelto_read_layer_graph()
    set( known ${KELTO_LAYERS} )
    foreach( backend ${KELTO_HOST_BACKENDS} )
        list( APPEND known host/${backend} )
    endforeach()
    foreach( layer ${KELTO_LAYERS} )
        kelto_layer_reach( ${layer} reach )
        kelto_layer_files( ${layer} sources )
        kelto_check_includes( ${layer} "${sources}" "${layer};${reach}" "${known}" )
    endforeach()
    foreach( backend ${KELTO_HOST_BACKENDS} )
        kelto_layer_files( host/${backend} sources )
        kelto_check_includes( host/${backend} "${sources}" "host;host/${backend}" "${known}" )
    endforeach()
endfunction()

# One library per layer whose folder holds anything (kelto_layer_<folder>), linked along the
# arrows, and the check as a step before any of them builds. Sets KELTO_LAYER_LIBRARIES.
function( kelto_add_layers )
    kelto_read_layer_graph()
    set( table ${CMAKE_BINARY_DIR}/layering/Table.cmake )
    set( stamp ${CMAKE_BINARY_DIR}/layering/checked )
    file( WRITE ${table}.in "set( KELTO_SOURCE_DIR \"${KELTO_SOURCE_DIR}\" )\n"
                            "set( KELTO_LAYER_GRAPH \"${KELTO_LAYER_GRAPH}\" )\n"
                            "set( KELTO_HOST_BACKENDS \"${KELTO_HOST_BACKENDS}\" )\n"
                            "set( KELTO_PROGRAM_SOURCES \"${KELTO_PROGRAM_SOURCES}\" )\n" )
    configure_file( ${table}.in ${table} COPYONLY )

    set( libraries )
    set( checked ${CMAKE_CURRENT_FUNCTION_LIST_FILE} ${table} )
    foreach( layer ${KELTO_LAYERS} )
        kelto_layer_files( ${layer} files )
        list( APPEND checked ${files} )
        if( NOT files )
            continue()
        endif()
        kelto_layer_links( ${layer} links )
        set( sources ${files} )
        list( FILTER sources INCLUDE REGEX "\\.cpp$" )
        list( REMOVE_ITEM sources ${KELTO_PROGRAM_SOURCES} )
        if( sources )
            add_library( kelto_layer_${layer} STATIC ${sources} )
            target_include_directories( kelto_layer_${layer} PUBLIC ${KELTO_SOURCE_DIR} )
            target_link_libraries( kelto_layer_${layer} PUBLIC ${links} )
        else()
            add_library( kelto_layer_${layer} INTERFACE )
            target_include_directories( kelto_layer_${layer} INTERFACE ${KELTO_SOURCE_DIR} )
            target_link_libraries( kelto_layer_${layer} INTERFACE ${links} )
        endif()
        add_dependencies( kelto_layer_${layer} kelto_layering )
        list( APPEND libraries kelto_layer_${layer} )
    endforeach()
    foreach( backend ${KELTO_HOST_BACKENDS} )
        kelto_layer_files( host/${backend} files )
        list( APPEND checked ${files} )
    endforeach()

    add_custom_command( OUTPUT ${stamp}
                        COMMAND ${CMAKE_COMMAND} -DKELTO_LAYERING_TABLE=${table} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
                        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
                        DEPENDS ${checked}
                        COMMENT "Checking the layers' includes" )
    add_custom_target( kelto_layering DEPENDS ${stamp} )
    set( KELTO_LAYER_LIBRARIES ${libraries} PARENT_SCOPE )
endfunction()

# Fails when a game library links SDL or a host backend: they build and run on any backend.
function( kelto_check_links_no_backend target )
    get_target_property( libraries ${target} LINK_LIBRARIES )
    get_target_property( interface ${target} INTERFACE_LINK_LIBRARIES )
    foreach( library ${libraries} ${interface} )
        if( library MATCHES "SDL|^kelto_host_" )
            message( FATAL_ERROR "${target} links ${library}; only the program, tools, tests and "
                                 "benchmarks choose a backend" )
        endif()
    endforeach()
endfunction()

if( CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE )
    include( ${KELTO_LAYERING_TABLE} )
    kelto_check_layering()
endif()
