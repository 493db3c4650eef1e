# Runs the relay's load tool once and checks its exit code and what it printed, so that a run
# that should fail is seen to fail for its reason and one that should pass holds every number.
#
# cmake -DLOAD=<tool> -DRELAY=<relay> -DARGS=<a,b,...> -DCODE=<exit code> -DEXPECT=<regex|...> -P RelayLoadCheck.cmake
cmake_minimum_required( VERSION 3.22 )

string( REPLACE "," ";" ARGS "${ARGS}" )
string( REPLACE "|" ";" EXPECT "${EXPECT}" )

execute_process( COMMAND ${LOAD} --relay ${RELAY} ${ARGS} RESULT_VARIABLE code OUTPUT_VARIABLE out
                 ERROR_VARIABLE err TIMEOUT 60 )
set( all "${out}${err}" )
if( NOT code STREQUAL CODE )
    message( FATAL_ERROR "exit code ${code}, expected ${CODE}:\n${all}" )
endif()
foreach( pattern ${EXPECT} )
    if( NOT all MATCHES "${pattern}" )
        message( FATAL_ERROR "no line matching '${pattern}' in:\n${all}" )
    endif()
endforeach()
message( STATUS "${all}" )
