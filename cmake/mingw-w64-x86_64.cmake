# Cross-building Kadrum for 64-bit Windows on Debian with MinGW-w64
# (package g++-mingw-w64-x86-64-posix). The "posix" flavour of the compiler
# is the one with std::thread and std::mutex; "-static" puts libgcc,
# libstdc++ and winpthread inside each program, so no MinGW DLL is shipped.
# Programs built for the tests run through wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KADRUM_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KADRUM_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KADRUM_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KADRUM_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${KADRUM_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KADRUM_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${KADRUM_MINGW_TRIPLET}-strip CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KADRUM_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(KADRUM_WINE64 NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KADRUM_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KADRUM_WINE64})
endif()
