# Cross-building for 64-bit Windows with Debian's MinGW-w64. The -posix compilers: the others have
# no std::thread or std::mutex. Libraries are looked for in KOLT_WINDOWS_PREFIX (what
# scripts/build-windows.sh builds), never in the build machine's own folders; the programs and
# tests built run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-ranlib CACHE FILEPATH "")

if(NOT KOLT_WINDOWS_PREFIX AND DEFINED ENV{KOLT_WINDOWS_PREFIX})
  set(KOLT_WINDOWS_PREFIX $ENV{KOLT_WINDOWS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${KOLT_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
if(KOLT_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} ${KOLT_WINDOWS_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()

find_program(KOLT_WINE NAMES wine)
if(KOLT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KOLT_WINE})
endif()
