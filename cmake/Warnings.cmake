# One set of warnings and definitions for every target of the project: each target links this
# interface target (through orvanta_warnings), so a new program or test gets the same checks.
add_library(orvanta_build_flags INTERFACE)
target_compile_options(orvanta_build_flags INTERFACE
    -Wall -Wextra -Wshadow
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Woverloaded-virtual -Wold-style-cast>
    $<$<BOOL:${ORVANTA_WERROR}>:-Werror>)
# Every string that crosses into Qt is converted on purpose (ui/common/UiText.h), signals do
# not narrow their arguments, and Qt's own loop macro is left for the language's.  They only
# change what Qt's headers declare, so targets without Qt are not touched.  Tests get them
# too: a test that compares with a plain literal says which encoding it means.
target_compile_definitions(orvanta_build_flags INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY QT_NO_URL_CAST_FROM_STRING
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_FOREACH)

function(orvanta_warnings target)
    target_link_libraries(${target} PRIVATE orvanta_build_flags)
endfunction()

# A static library of one subsystem folder.  Core folders must never link Qt: the core is
# what the command-line front end and the simulator run on.
function(orvanta_core_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
    if(NOT ARG_SOURCES)
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
        target_link_libraries(${name} INTERFACE ${ARG_LINKS})
        return()
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    orvanta_warnings(${name})
    get_target_property(_links ${name} LINK_LIBRARIES)
    foreach(_l IN LISTS _links)
        if(_l MATCHES "^Qt")
            message(FATAL_ERROR "${name} is part of the core and must not link ${_l}")
        endif()
    endforeach()
endfunction()
