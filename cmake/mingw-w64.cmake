# What both Windows cross builds share (mingw-w64-i686.cmake: the 32-bit
# product; mingw-w64-x86_64.cmake: its 64-bit twin for testing), with
# Debian's MinGW-w64 compiler (posix thread model: its C++ library has
# std::mutex, which Qt Test needs). `triple` comes from the including file;
# TOVIK_WIN32_PREFIX names the folder scripts/windows-toolchain built Qt,
# OpenSSL and libsodium into for that architecture.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

if(NOT TOVIK_WIN32_PREFIX AND DEFINED ENV{TOVIK_WIN32_PREFIX})
    set(TOVIK_WIN32_PREFIX $ENV{TOVIK_WIN32_PREFIX})
endif()
# try_compile projects see the toolchain file again, without the cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOVIK_WIN32_PREFIX)
set(CMAKE_FIND_ROOT_PATH ${TOVIK_WIN32_PREFIX} /usr/${triple})
set(CMAKE_PREFIX_PATH ${TOVIK_WIN32_PREFIX})
set(OPENSSL_ROOT_DIR ${TOVIK_WIN32_PREFIX})
# Host programs (moc, rcc, pkg-config) come from the machine; libraries and
# headers only from the target folders.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} ${TOVIK_WIN32_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
