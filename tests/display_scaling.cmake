# The face at each display scaling, each on a virtual X display of as many
# dots per inch (96 at 100 %): Qt 5 on X11 scales by the screen's DPI / 96.
# The screen is 15 inches wide, a whole number of millimetres, so that it
# reports exactly that DPI. A row that finds its display at another scale
# skips, and a skip fails here. The displays come one at a time, as two
# xvfb-run -a started together could pick the same number. Under Wine the
# scale is Windows' own setting, LogPixels in the registry.
if(WIN32 AND CMAKE_CROSSCOMPILING)
    foreach(percent 100 125 150 175 200)
        math(EXPR dpi "96 * ${percent} / 100")
        add_test(NAME face_at_${percent} COMMAND tst_face_and_catalogue face:${percent}%)
        set_tests_properties(face_at_${percent} PROPERTIES
            ENVIRONMENT "TOVIK_LOGPIXELS=${dpi};http_proxy=;HTTP_PROXY=;no_proxy=" FAIL_REGULAR_EXPRESSION "SKIP" TIMEOUT 180)
    endforeach()
elseif(UNIX AND NOT APPLE)
    foreach(percent 100 125 150 175 200)
        math(EXPR dpi "96 * ${percent} / 100")
        math(EXPR width "15 * ${dpi}")
        add_test(NAME face_at_${percent}
                 COMMAND xvfb-run -a -s "-dpi ${dpi} -screen 0 ${width}x${width}x24"
                         $<TARGET_FILE:tst_face_and_catalogue> face:${percent}%)
        set_tests_properties(face_at_${percent} PROPERTIES
            ENVIRONMENT "QT_QPA_PLATFORM=xcb;http_proxy=;HTTP_PROXY=;no_proxy="
            FAIL_REGULAR_EXPRESSION "SKIP" RESOURCE_LOCK xvfb TIMEOUT 120)
    endforeach()
endif()
