# A Windows build's programs run on this machine under Wine
# (windows/checks/wine-run, CTest's emulator), each kind of check in a Wine
# prefix of its own under the build folder, made anew by a CTest fixture. The
# tests under tests/ need the virtual display, the suite's prefix and the
# planted OpenSSL configuration (windows/CMakeLists.txt sets them up).
# Included before the tests are added.
set(TOVIK_WINE_STATE ${PROJECT_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/checks/wine-run ${TOVIK_ARCH} ${TOVIK_WIN32_PREFIX} ${TOVIK_WINE_STATE}/tests)
set(TOVIK_WINE_FIXTURES wine_display wine_tests planted_openssl_config)

# Some kernels have IA-32 emulation off, and then no Wine can run a 32-bit
# Windows program: the 32-bit product's tests are then not run (the 64-bit
# twin runs them all).
unset(TOVIK_WINE_CANNOT_RUN)
if(TOVIK_ARCH STREQUAL "i686")
    execute_process(COMMAND ${TOVIK_SOURCE_DIR}/scripts/runs-32-bit
                    RESULT_VARIABLE tovik_runs_32 OUTPUT_VARIABLE tovik_why OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT tovik_runs_32 EQUAL 0)
        set(TOVIK_WINE_CANNOT_RUN "${tovik_why}")
        message(STATUS "Not run: every test of the 32-bit product, because ${tovik_why}")
    endif()
endif()
