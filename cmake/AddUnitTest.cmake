# add_unit_test(NAME name SOURCES ... LIBS ... [LABEL unit|gui|e2e] [TIMEOUT s])
# Makes the executable, registers it with CTest and runs it offscreen.

# Test programs are compiled for a quick build rather than for speed; the code under test keeps
# the build type's optimisation. Measured on a widget test: 6.0 s at -O2 -g, 3.2 s at -Og -g1
# (line tables are all a failure's stack needs). A debug build keeps its full debug information.
set(TESSEL_TEST_COMPILE_OPTIONS "")
if(NOT MSVC AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(TESSEL_TEST_COMPILE_OPTIONS -Og -g1)
    # Clang's -Og is its -O1, and its passes over the sanitizers' instrumentation took 3 of a
    # widget test's 7 s (-O0: 4 s). GCC's -Og is the cheaper level and keeps the warnings that
    # need data flow; the sanitizers need none.
    if(TESSEL_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        set(TESSEL_TEST_COMPILE_OPTIONS -O0 -g1)
    endif()
endif()

# A test's classes live in its .cpp files, which include their "<name>.moc". AUTOMOC would run
# moc with every include path of the target, and moc then reads Eigen's and Ceres' headers for
# nothing: 0.7 s a test instead of 0.01 s, over a hundred tests per build. Such a class needs
# no macro from a header, so moc runs here without include paths. A test that also compiles
# product sources keeps AUTOMOC for their headers.
function(_tessel_moc_test_sources target)
    set(mocs "")
    foreach(src IN LISTS ARGN)
        get_filename_component(path ${src} ABSOLUTE)
        get_filename_component(dir ${path} DIRECTORY)
        if(NOT dir STREQUAL CMAKE_CURRENT_SOURCE_DIR)
            return()
        endif()
        file(STRINGS ${path} objects REGEX "Q_OBJECT|Q_GADGET")
        if(NOT objects)
            continue()
        endif()
        get_filename_component(ext ${src} LAST_EXT)
        if(NOT ext STREQUAL ".cpp")
            message(FATAL_ERROR "${src}: a test's Qt classes belong in its .cpp files")
        endif()
        list(APPEND mocs ${path})
    endforeach()
    set_target_properties(${target} PROPERTIES AUTOMOC OFF)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_moc)
    foreach(path IN LISTS mocs)
        get_filename_component(stem ${path} NAME_WE)
        qt5_generate_moc(${path} ${out}/${stem}.moc)
        target_sources(${target} PRIVATE ${out}/${stem}.moc)
    endforeach()
    target_include_directories(${target} PRIVATE ${out})
endfunction()

function(add_unit_test)
    cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT T_LABEL)
        set(T_LABEL unit)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 60)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    _tessel_moc_test_sources(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt5::Test ${T_LIBS})
    target_compile_options(${T_NAME} PRIVATE ${TESSEL_TEST_COMPILE_OPTIONS})
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    # Tests find widgets by their Chinese texts: the plug-ins must not follow a developer's locale.
    set(_env "QT_QPA_PLATFORM=offscreen" "LC_ALL=C.UTF-8" "LANGUAGE=")
    if(TESSEL_SANITIZE)
        list(APPEND _env "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1"
                         "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
        # Sanitized code runs several times slower (Eigen's loops ten times): tests that wait
        # for whole programs scale their limits by TESSEL_TIME_SCALE.
        list(APPEND _env "TESSEL_TIME_SCALE=3")
        math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        ENVIRONMENT "${_env}"
        TIMEOUT ${T_TIMEOUT}
        LABELS ${T_LABEL})
endfunction()
