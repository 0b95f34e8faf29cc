# quorvel_module(NAME [DEPENDS target...]): a static library of every source, header, form and
# resource file in the calling folder, linked to coreui and Qt Widgets and to the given targets.
function(quorvel_module name)
    cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS *.cpp *.h *.ui *.qrc)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC coreui Qt6::Widgets ${ARG_DEPENDS})
endfunction()
