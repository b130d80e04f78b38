# Every target of the project compiles with the same strict warnings.
if(MSVC)
    # C4251: Qt value types as members of exported classes are fine within one toolchain.
    add_compile_options(/W4 /WX /permissive- /wd4251 /utf-8)
else()
    add_compile_options(-Wall -Wextra -Werror)
endif()

# A shared library must resolve every symbol at link time, as a Windows DLL must. (The
# sanitizer runtimes are resolved from the executable, so that build cannot ask for it.)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT TESSEL_SANITIZE)
    string(APPEND CMAKE_SHARED_LINKER_FLAGS " -Wl,--no-undefined")
    # Plug-ins are module libraries and must resolve theirs too.
    string(APPEND CMAKE_MODULE_LINKER_FLAGS " -Wl,--no-undefined")
endif()
