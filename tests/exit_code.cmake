# The real program, closed by a click on a virtual display, exits with 0.
# (The Windows program's exit code is checked under Wine by windows/checks/end_to_end.sh.)
if(CMAKE_CROSSCOMPILING)
    return()
endif()
find_program(TOVIK_XVFB_RUN xvfb-run)
find_program(TOVIK_XDOTOOL xdotool)
if(TOVIK_XVFB_RUN AND TOVIK_XDOTOOL)
    add_test(NAME program_exit_code
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/exit_code_test.sh $<TARGET_FILE:Tovik_All_In_One>)
    set_tests_properties(program_exit_code PROPERTIES TIMEOUT 60 RESOURCE_LOCK xvfb) # one virtual display at a time
else()
    message(WARNING "xvfb-run or xdotool missing: the exit-code test is skipped (run scripts/bootstrap)")
endif()
