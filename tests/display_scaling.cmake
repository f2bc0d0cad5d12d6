# The face at each display scaling, each on a virtual X display of as many
# dots per inch (96 at 100 %). A row that finds its display at another scale
# skips, and a skip fails here: every row must run. Xvfb comes from
# scripts/bootstrap; without it these fail rather than go away.
if(UNIX AND NOT APPLE)
    foreach(percent 100 125 150 175 200)
        math(EXPR dpi "96 * ${percent} / 100")
        add_test(NAME face_at_${percent}
                 COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/on_display.sh ${dpi}
                         $<TARGET_FILE:tst_face_and_catalogue> face:${percent}%)
        set_tests_properties(face_at_${percent} PROPERTIES
            ENVIRONMENT "http_proxy=;HTTP_PROXY=;no_proxy="
            FAIL_REGULAR_EXPRESSION "SKIP"
            TIMEOUT 120)
    endforeach()
endif()
