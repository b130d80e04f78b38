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

# tessel_add_plugin_test(<name> SOURCES <file>... PLUGIN <plug-in target> [LIBS <library>...]
#                        [TIMEOUT <seconds>])
#
# Builds a Qt Test program that links tessel::testkit and registers it with CTest, run
# offscreen. The program gets the plug-in library's path as TESSEL_PLUGIN_PATH, for
# tessel::testing::PluginFixture::setUp(); the plug-in is built before it. Call enable_testing()
# (or include(CTest)) first. Entries of the list TESSEL_PLUGIN_TEST_ENVIRONMENT, when set, are
# added to the test's environment.
function(tessel_add_plugin_test name)
    cmake_parse_arguments(PARSE_ARGV 1 T "" "PLUGIN;TIMEOUT" "SOURCES;LIBS")
    if(T_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR
                "tessel_add_plugin_test(${name}): unknown arguments: ${T_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT T_SOURCES OR NOT T_PLUGIN)
        message(FATAL_ERROR "tessel_add_plugin_test(${name}): SOURCES and PLUGIN are required")
    endif()
    if(NOT TARGET ${T_PLUGIN})
        message(FATAL_ERROR "tessel_add_plugin_test(${name}): no target ${T_PLUGIN}")
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 60)
    endif()

    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE tessel::testkit tessel::tessel Qt5::Test ${T_LIBS})
    target_compile_definitions(${name} PRIVATE TESSEL_PLUGIN_PATH="$<TARGET_FILE:${T_PLUGIN}>")
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    add_dependencies(${name} ${T_PLUGIN})
    add_test(NAME ${name} COMMAND ${name})
    set(_env QT_QPA_PLATFORM=offscreen ${TESSEL_PLUGIN_TEST_ENVIRONMENT})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "${_env}"
        TIMEOUT ${T_TIMEOUT})
endfunction()
