# Cross build of the 64-bit twin of the Windows program: the same sources,
# built to run the tests under wine64 where a machine runs no 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOVIK_ARCH x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
