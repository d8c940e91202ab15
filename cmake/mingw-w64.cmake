# Cross-build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64). The
# posix thread model: the win32 one has no std::thread in GCC 12's library. The
# programs link libstdc++, libgcc and winpthread statically, so that they run on a bare
# Windows with no DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KALVIST_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KALVIST_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALVIST_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KALVIST_MINGW_PREFIX}-windres)

# Target libraries from the mingw sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${KALVIST_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine when one is there (ctest, gtest_discover_tests).
# Debian's wine64 package keeps its loader out of PATH (the "wine" package adds the wrapper).
find_program(KALVIST_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(KALVIST_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KALVIST_WINE})
endif()

set(KALVIST_CROSS_WINDOWS ON)
