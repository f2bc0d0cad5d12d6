# What both Windows cross builds share (mingw-w64-i686.cmake: the 32-bit
# product; mingw-w64-x86_64.cmake: its 64-bit twin for testing), with
# Debian's MinGW-w64 compiler (posix thread model: its C++ library has
# std::mutex, which Qt Test needs). `triple` and `TOVIK_ARCH` come from the
# including file. The libraries (Qt, OpenSSL, libsodium) come from
# windows/ports/build, which builds them once per machine, the first time
# it is asked, and names their folder: TOVIK_WIN32_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

# Asked once per configure (CMake reads this file twice), never by try_compile.
get_property(tovik_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
get_property(tovik_ports_asked GLOBAL PROPERTY TOVIK_PORTS_ASKED)
if(NOT tovik_in_try_compile AND NOT tovik_ports_asked)
    set_property(GLOBAL PROPERTY TOVIK_PORTS_ASKED ON)
    set(tovik_ports ${CMAKE_CURRENT_LIST_DIR}/../windows/ports)
    message(STATUS "The Windows libraries for ${TOVIK_ARCH} (windows/ports/build)")
    execute_process(COMMAND ${tovik_ports}/build ${TOVIK_ARCH}
                    OUTPUT_VARIABLE tovik_ports_out RESULT_VARIABLE tovik_ports_status)
    if(NOT tovik_ports_status EQUAL 0)
        message(FATAL_ERROR "windows/ports/build ${TOVIK_ARCH} failed")
    endif()
    string(REGEX MATCH "[^\n]+\n?$" TOVIK_WIN32_PREFIX "${tovik_ports_out}")
    string(STRIP "${TOVIK_WIN32_PREFIX}" TOVIK_WIN32_PREFIX)
    set(TOVIK_WIN32_PREFIX ${TOVIK_WIN32_PREFIX} CACHE PATH "The Windows libraries, as windows/ports/build made them" FORCE)
    # A changed lock, port or patch asks again.
    file(GLOB tovik_port_files ${tovik_ports}/* ${tovik_ports}/patches/*)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${tovik_port_files})
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
