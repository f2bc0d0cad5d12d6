# The program's Windows resources, compiled with the MinGW tools, and its
# Linux install layout. A missing tool fails the test rather than skipping
# it, so that the check cannot silently go away; scripts/bootstrap installs
# them all.
find_program(TOVIK_PYTHON NAMES python3 python)
if(NOT TOVIK_PYTHON)
    message(WARNING "python3 not found: windows_resources and desktop_install are not registered")
elseif(UNIX AND NOT APPLE)
    find_program(TOVIK_WINDRES i686-w64-mingw32-windres)
    find_program(TOVIK_MINGW_GCC i686-w64-mingw32-gcc)
    find_program(TOVIK_WRESTOOL wrestool)
    find_program(TOVIK_ICOTOOL icotool)
    find_program(TOVIK_DESKTOP_FILE_VALIDATE desktop-file-validate)

    add_test(NAME windows_resources
        COMMAND ${TOVIK_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/windows_resources_test.py
            --windres ${TOVIK_WINDRES} --gcc ${TOVIK_MINGW_GCC}
            --wrestool ${TOVIK_WRESTOOL} --icotool ${TOVIK_ICOTOOL}
            --rc ${CMAKE_CURRENT_SOURCE_DIR}/../resources/Tovik_All_In_One.rc)

    # Installs the build that CTest runs against: needs a finished build,
    # not any other test.
    add_test(NAME desktop_install
        COMMAND ${TOVIK_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/desktop_install_test.py
            ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR}
            ${TOVIK_DESKTOP_FILE_VALIDATE} $<CONFIG>)
    set_tests_properties(windows_resources desktop_install PROPERTIES TIMEOUT 120)
endif()
