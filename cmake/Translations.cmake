# Translations of a library or program, with Qt Linguist.
#
# tessel_add_translations(<target> CATALOG <name> SOURCE_LANGUAGE <lang>
#                         TS_FILES <name>_<lang>.ts... SOURCES <file or folder>...)
#
# The build compiles each .ts file with lrelease and embeds the .qm files in <target> as
# ":/i18n/<name>_<lang>.qm"; the target's code installs them at start-up (tessel::CatalogTranslator;
# in a static library call Q_INIT_RESOURCE(<name>_i18n) first, or the linker drops them).
# lupdate rewrites the .ts files in the source tree, so the normal build never runs it: the target
# update_translations does, over SOURCES (relative to the calling folder).
find_package(Qt5LinguistTools 5.15 REQUIRED)

if(NOT TARGET update_translations)
    add_custom_target(update_translations COMMENT "lupdate: refreshing the .ts files from the sources")
endif()

function(tessel_add_translations target)
    cmake_parse_arguments(T "" "CATALOG;SOURCE_LANGUAGE" "TS_FILES;SOURCES" ${ARGN})
    if(T_UNPARSED_ARGUMENTS OR NOT T_CATALOG OR NOT T_SOURCE_LANGUAGE OR NOT T_TS_FILES
       OR NOT T_SOURCES)
        message(FATAL_ERROR "tessel_add_translations(${target}): give CATALOG, SOURCE_LANGUAGE, "
                            "TS_FILES and SOURCES, nothing else (${T_UNPARSED_ARGUMENTS})")
    endif()
    set(qm_dir ${CMAKE_CURRENT_BINARY_DIR}/i18n)
    set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${T_CATALOG}_i18n.qrc)
    set(entries "")
    set(qm_files "")
    set(lupdate_commands "")
    foreach(ts ${T_TS_FILES})
        get_filename_component(ts_abs ${ts} ABSOLUTE)
        get_filename_component(base ${ts} NAME_WE)
        string(REGEX REPLACE "^.*_" "" language ${base})
        set(qm ${qm_dir}/${base}.qm)
        add_custom_command(OUTPUT ${qm}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${qm_dir}
            COMMAND Qt5::lrelease -silent ${ts_abs} -qm ${qm}
            DEPENDS ${ts_abs}
            COMMENT "lrelease ${base}.ts"
            VERBATIM)
        list(APPEND qm_files ${qm})
        string(APPEND entries "        <file alias=\"${base}.qm\">${qm}</file>\n")
        list(APPEND lupdate_commands
            COMMAND Qt5::lupdate -silent -locations none -no-ui-lines -no-obsolete
                    -source-language ${T_SOURCE_LANGUAGE} -target-language ${language}
                    ${T_SOURCES} -ts ${ts_abs})
    endforeach()
    file(GENERATE OUTPUT ${qrc}
         CONTENT "<RCC>\n    <qresource prefix=\"/i18n\">\n${entries}    </qresource>\n</RCC>\n")
    set(cpp ${CMAKE_CURRENT_BINARY_DIR}/qrc_${T_CATALOG}_i18n.cpp)
    add_custom_command(OUTPUT ${cpp}
        COMMAND Qt5::rcc --name ${T_CATALOG}_i18n --output ${cpp} ${qrc}
        DEPENDS ${qrc} ${qm_files}
        COMMENT "rcc ${T_CATALOG}_i18n.qrc"
        VERBATIM)
    set_source_files_properties(${cpp} PROPERTIES SKIP_AUTOGEN ON GENERATED ON)
    target_sources(${target} PRIVATE ${cpp})

    add_custom_target(update_translations_${T_CATALOG} ${lupdate_commands}
        WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
        COMMENT "lupdate ${T_CATALOG}"
        VERBATIM)
    add_dependencies(update_translations update_translations_${T_CATALOG})
endfunction()
