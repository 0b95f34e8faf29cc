# quorvel_module(NAME [DEPENDS target...]): a static library of every source, header, form and
# resource file in the calling folder, linked to coreui and platform and to the given targets.
# A folder with nothing in it yet gives an empty library, so the link lines of the others stay valid.
function(quorvel_module name)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS *.cpp *.h *.ui *.qrc)
    if(NOT sources)
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE coreui platform)
        return()
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC coreui platform Qt6::Widgets ${ARG_DEPENDS})
endfunction()
