# Cross-compiling for 32-bit Windows with the posix-thread MinGW-w64
# toolchain (its libstdc++ has std::thread and std::mutex); programs built
# for the host run under Wine through scripts/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(mingw i686-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)

# The static libraries scripts/setup --windows builds, found first, and
# never the host's own packages.
set(TARVONI_WINDOWS_DEPS ${CMAKE_CURRENT_LIST_DIR}/../build-windows/deps)
list(APPEND CMAKE_FIND_ROOT_PATH ${TARVONI_WINDOWS_DEPS})
set(ENV{PKG_CONFIG_LIBDIR} ${TARVONI_WINDOWS_DEPS}/lib/pkgconfig:/usr/${mingw}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
