# tessel_add_plugin(<target> SOURCES <file>... [LIBS <library>...] [INSTALL])
#
# Builds a plug-in library that links tessel::tessel and writes it into
# ${CMAKE_BINARY_DIR}/plugins, the folder to give the emulator: `pendant --plugins <build>/plugins`.
# INSTALL adds an install rule into ${CMAKE_INSTALL_LIBDIR}/tessel/plugins, where the installed
# emulator looks by default. The same file serves this tree and the installed package.
include_guard(GLOBAL)
include(GNUInstallDirs)

# The one folder the plug-ins are written into; a project may choose another before this file.
if(NOT DEFINED TESSEL_PLUGIN_OUTPUT_DIRECTORY)
    set(TESSEL_PLUGIN_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/plugins)
endif()

function(tessel_add_plugin target)
    cmake_parse_arguments(PARSE_ARGV 1 P "INSTALL" "" "SOURCES;LIBS")
    if(P_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR
                "tessel_add_plugin(${target}): unknown arguments: ${P_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT P_SOURCES)
        message(FATAL_ERROR "tessel_add_plugin(${target}): no SOURCES given")
    endif()

    # Loaded at run time, never linked against: no import library, no soname.
    add_library(${target} MODULE ${P_SOURCES})
    target_link_libraries(${target} PRIVATE tessel::tessel ${P_LIBS})
    # The generator expression keeps multi-configuration generators from adding a
    # per-configuration folder: the emulator reads one flat folder.
    # Hidden symbols, as on Windows: the registration runs from a static initialiser, so a
    # plug-in exports nothing.
    set_target_properties(${target} PROPERTIES
        AUTOMOC ON
        AUTORCC ON
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        LIBRARY_OUTPUT_DIRECTORY "$<1:${TESSEL_PLUGIN_OUTPUT_DIRECTORY}>")

    if(P_INSTALL)
        if(APPLE)
            set_target_properties(${target} PROPERTIES INSTALL_RPATH "@loader_path/../..")
        elseif(NOT WIN32)
            # tessel is installed two folders up, in the library folder.
            set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/../..")
        endif()
        install(TARGETS ${target}
                LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tessel/plugins COMPONENT Runtime)
    endif()
endfunction()
