# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix threads, so that
# std::thread and friends work). Used for the libraries of the Windows toolchain and,
# through Qt's own toolchain file, for this project.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VT_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VT_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VT_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${VT_MINGW}-windres)
set(CMAKE_AR ${VT_MINGW}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${VT_MINGW}-gcc-ranlib-posix CACHE FILEPATH "")
# The prefixes of the cross-built libraries come in through CMAKE_PREFIX_PATH or
# VT_WINDOWS_PREFIXES; programs are always the build machine's own.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VT_MINGW} $ENV{VT_WINDOWS_PREFIXES})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
