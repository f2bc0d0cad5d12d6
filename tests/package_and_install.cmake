# The program's images, its Windows resources compiled with the MinGW tools,
# and its Linux install layout: checks of what is packaged, not of the code,
# so the tests' size (cmake/test_size.py) leaves them out. A missing tool fails the test rather than
# skipping it, so that the check cannot silently go away; scripts/bootstrap
# installs them all.
find_program(TOVIK_PYTHON NAMES python3 python)
if(NOT TOVIK_PYTHON)
    message(WARNING "python3 not found: windows_resources and desktop_install are not registered")
elseif(WIN32 AND CMAKE_CROSSCOMPILING)
    # The real program file of a cross build, read on the build machine.
    find_program(TOVIK_WRESTOOL wrestool)
    add_test(NAME windows_program
        COMMAND ${TOVIK_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/package_and_install_test.py exe
            $<TARGET_FILE:Tovik_All_In_One> ${TOVIK_WRESTOOL} ${CMAKE_OBJDUMP})
    set_tests_properties(windows_program PROPERTIES TIMEOUT 120 ENVIRONMENT "PYTHONOPTIMIZE=")
elseif(UNIX AND NOT APPLE)
    find_program(TOVIK_WINDRES i686-w64-mingw32-windres)
    find_program(TOVIK_MINGW_GCC i686-w64-mingw32-gcc)
    find_program(TOVIK_WRESTOOL wrestool)
    find_program(TOVIK_DESKTOP_FILE_VALIDATE desktop-file-validate)
    set(tovik_package_test ${TOVIK_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/package_and_install_test.py)

    add_test(NAME windows_resources
        COMMAND ${tovik_package_test} windows ${TOVIK_WINDRES} ${TOVIK_MINGW_GCC}
            ${TOVIK_WRESTOOL} ${CMAKE_CURRENT_SOURCE_DIR}/../resources)
    # Installs the build that CTest runs against: needs a finished build,
    # not any other test.
    add_test(NAME desktop_install
        COMMAND ${tovik_package_test} install ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR}
            ${TOVIK_DESKTOP_FILE_VALIDATE} $<CONFIG>)
    # The checks are asserts: an inherited PYTHONOPTIMIZE would remove them all.
    set_tests_properties(windows_resources desktop_install PROPERTIES TIMEOUT 120 ENVIRONMENT "PYTHONOPTIMIZE=")
endif()
