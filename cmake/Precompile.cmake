# One set of precompiled Qt headers for the whole tree.
#
# tessel_precompile_targets(), called once at the end of the top-level CMakeLists.txt when every
# target exists, gives each C++ target of the tree that uses Qt the precompiled headers of the
# one target tessel_pch (REUSE_FROM): Qt's headers are compiled once per build instead of once
# per source file. A new library, program or test gets them without a line of its own.
#
# GCC uses a precompiled header only where the options that shape it are the same, so a target
# takes part only when it has tessel_pch's compile options (a target with options of its own, as
# the libFuzzer programs, compiles without) and uses Qt, whose -fPIC every user of it shares.
# A mismatch left over (a define that Qt's headers read, given to one target only) fails the
# build through -Winvalid-pch and -Werror rather than slowing it down unseen; such a target, or
# one that must see its sources without Qt in front, opts out with
#     set_target_properties(<target> PROPERTIES DISABLE_PRECOMPILE_HEADERS ON)
#
# Tests compile with options of their own (TESSEL_TEST_COMPILE_OPTIONS, cmake/AddUnitTest.cmake)
# and reuse a second target, tessel_test_pch, made with those options.
#
# The headers go in front of every source of those targets, so a missing #include goes unseen
# in the build; clang-tidy (scripts/tidy.sh) compiles the shipped sources without them.
#
# With ccache as the compiler launcher the targets' launcher sets the sloppiness ccache needs to
# cache compilations that create or read a precompiled header.
include_guard(GLOBAL)

option(TESSEL_PCH "Precompile Qt's headers once for every target that uses Qt" ON)

# The Qt headers most of the tree includes; the QtCore module whole, as QtTest brings it into
# every test anyway.
set(TESSEL_PCH_HEADERS
    <QtCore>
    <QAbstractButton> <QApplication> <QCheckBox> <QComboBox> <QDialog> <QDialogButtonBox>
    <QFormLayout> <QFrame> <QGridLayout> <QGroupBox> <QHBoxLayout> <QImage> <QLabel> <QLayout>
    <QLineEdit> <QListWidget> <QMessageBox> <QPainter> <QPixmap> <QPushButton> <QScrollArea>
    <QSpacerItem> <QSpinBox> <QStackedWidget> <QStyle> <QStyleOption> <QTabWidget> <QTreeWidget>
    <QVBoxLayout> <QVector3D> <QWidget>
    <algorithm> <cmath> <functional> <memory> <string> <vector>)

# Whether <target> reaches a Qt module through what it links and what its libraries pass on
# (private links of static libraries, $<LINK_ONLY:...>, pass no compile options and are left out).
function(_tessel_uses_qt target out)
    set(queue ${target})
    set(seen "")
    set(result FALSE)
    while(queue)
        list(POP_FRONT queue t)
        if(t IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${t})
        if(t MATCHES "^Qt5::")
            set(result TRUE)
            break()
        endif()
        if(NOT TARGET ${t})
            continue()
        endif()
        get_target_property(aliased ${t} ALIASED_TARGET)
        if(aliased)
            list(APPEND queue ${aliased})
            continue()
        endif()
        set(links "")
        if(t STREQUAL target)
            get_target_property(links ${t} LINK_LIBRARIES)
        endif()
        get_target_property(interface ${t} INTERFACE_LINK_LIBRARIES)
        foreach(l IN LISTS links interface)
            if(l AND NOT l MATCHES "NOTFOUND$" AND NOT l MATCHES "^\\$<")
                list(APPEND queue ${l})
            endif()
        endforeach()
    endwhile()
    set(${out} ${result} PARENT_SCOPE)
endfunction()

function(_tessel_collect_targets dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(sub IN LISTS subdirs)
        _tessel_collect_targets(${sub} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Makes <name>, an object library that only precompiles the headers, with the options after
# <options_out> on top of the tree's own; its compile options go into <options_out>.
function(_tessel_add_pch name launcher options_out)
    set(pch_source ${CMAKE_BINARY_DIR}/${name}.cpp)
    file(GENERATE OUTPUT ${pch_source} CONTENT "// Only the precompiled headers are built here.\n")
    # Only what every user of Qt has: a define given here and missing in a user makes GCC refuse
    # the header there (QT_GUI_LIB in a QtCore-only library), so Gui's and Widgets' headers come
    # by their folders alone.
    add_library(${name} OBJECT ${pch_source})
    target_link_libraries(${name} PRIVATE Qt5::Core)
    target_compile_options(${name} PRIVATE ${ARGN})
    target_include_directories(${name} SYSTEM PRIVATE
        $<TARGET_PROPERTY:Qt5::Gui,INTERFACE_INCLUDE_DIRECTORIES>
        $<TARGET_PROPERTY:Qt5::Widgets,INTERFACE_INCLUDE_DIRECTORIES>)
    set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    target_precompile_headers(${name} PRIVATE ${TESSEL_PCH_HEADERS})
    if(launcher)
        set_target_properties(${name} PROPERTIES CXX_COMPILER_LAUNCHER "${launcher}")
    endif()
    get_target_property(options ${name} COMPILE_OPTIONS)
    set(${options_out} "${options}" PARENT_SCOPE)
endfunction()

function(tessel_precompile_targets)
    if(NOT TESSEL_PCH)
        return()
    endif()
    set(launcher "")
    if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
        set(launcher ${CMAKE_COMMAND} -E env
            CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
            ${CMAKE_CXX_COMPILER_LAUNCHER})
    endif()
    _tessel_add_pch(tessel_pch "${launcher}" pch_options)
    # Tests compile with options of their own (add_unit_test): a second header for them.
    set(test_pch_options "<none>")
    if(TESSEL_TEST_COMPILE_OPTIONS)
        _tessel_add_pch(tessel_test_pch "${launcher}" test_pch_options
                        ${TESSEL_TEST_COMPILE_OPTIONS})
    endif()

    _tessel_collect_targets(${CMAKE_SOURCE_DIR} targets)
    set(count 0)
    foreach(t IN LISTS targets)
        get_target_property(type ${t} TYPE)
        if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$"
           OR t MATCHES "^tessel(_test)?_pch$")
            continue()
        endif()
        get_target_property(off ${t} DISABLE_PRECOMPILE_HEADERS)
        get_target_property(own ${t} PRECOMPILE_HEADERS)
        get_target_property(reuse ${t} PRECOMPILE_HEADERS_REUSE_FROM)
        get_target_property(options ${t} COMPILE_OPTIONS)
        if("${options}" STREQUAL "${pch_options}")
            set(pch tessel_pch)
        elseif("${options}" STREQUAL "${test_pch_options}")
            set(pch tessel_test_pch)
        else()
            continue()
        endif()
        if(off OR own OR reuse)
            continue()
        endif()
        _tessel_uses_qt(${t} uses_qt)
        if(NOT uses_qt)
            continue()
        endif()
        target_precompile_headers(${t} REUSE_FROM ${pch})
        # A program's moc output is empty but for a few (its classes are moc'd into its .cpp
        # files): loading 200 MB of precompiled header into it costs more than compiling it.
        get_target_property(automoc ${t} AUTOMOC)
        if(type STREQUAL "EXECUTABLE" AND automoc AND CMAKE_VERSION VERSION_GREATER_EQUAL 3.18)
            get_target_property(autogen ${t} AUTOGEN_BUILD_DIR)
            if(NOT autogen)
                get_target_property(binary ${t} BINARY_DIR)
                set(autogen ${binary}/${t}_autogen)
            endif()
            set_source_files_properties(${autogen}/mocs_compilation.cpp TARGET_DIRECTORY ${t}
                PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
        endif()
        if(launcher)
            set_target_properties(${t} PROPERTIES CXX_COMPILER_LAUNCHER "${launcher}")
        endif()
        math(EXPR count "${count} + 1")
    endforeach()
    message(STATUS "Precompiled Qt headers: ${count} targets")
endfunction()
