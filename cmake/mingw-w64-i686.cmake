# Cross build of the 32-bit Windows program, the product.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TOVIK_ARCH i686)
set(triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
