# Cross-build for 64-bit Windows with Debian's mingw-w64 (packages
# g++-mingw-w64-x86-64 and mingw-w64-tools).
#
# The posix thread model: the default win32 model has no std::mutex or
# std::thread, which GoogleTest and the standard library's threads need.
# Programs link statically, so they run without libstdc++, libgcc or
# winpthread DLLs beside them, and are built for the wide-character API
# (UNICODE, _UNICODE). ctest runs them under Wine (cmake/wine-run.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(YUNQUE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${YUNQUE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${YUNQUE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${YUNQUE_MINGW_TRIPLET}-windres)

# Headers, libraries and packages come from the mingw-w64 tree only;
# programs run during the build are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${YUNQUE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_C_FLAGS_INIT "-DUNICODE -D_UNICODE")
set(CMAKE_CXX_FLAGS_INIT "-DUNICODE -D_UNICODE")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The Wine prefix lives in the build folder, so that a build never touches
# ~/.wine and removing the build folder removes it too.
get_filename_component(YUNQUE_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${YUNQUE_WINE_RUN} ${CMAKE_BINARY_DIR}/wine-prefix)
