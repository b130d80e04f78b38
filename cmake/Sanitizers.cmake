if(TESSEL_SANITIZE)
    if(MSVC)
        add_compile_options(/fsanitize=address)
    else()
        set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
        # Line tables are all a report's stack needs; full debug information makes every object
        # (and the precompiled header each one loads) several times larger and the build slower.
        add_compile_options(${_san} -g1)
        add_link_options(${_san})
        if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
            # Eigen and Ceres stay out of the instrumentation, and their assertions come in
            # (the list says why); scripts/build.sh has ccache hash the list with each source.
            add_compile_options(-fsanitize-ignorelist=${CMAKE_CURRENT_LIST_DIR}/sanitizer-ignorelist.txt
                                -UNDEBUG)
        endif()
    endif()
endif()
if(TESSEL_TSAN)
    if(TESSEL_SANITIZE)
        message(FATAL_ERROR "TESSEL_TSAN and TESSEL_SANITIZE cannot be combined")
    endif()
    set(_tsan -fsanitize=thread -fno-omit-frame-pointer)
    add_compile_options(${_tsan} -g1)
    add_link_options(${_tsan})
endif()
