# What the program needs from each desktop platform beyond Qt: on Windows a
# GUI-subsystem executable carrying its icon and version block, on Linux the
# install rules for the program, its desktop entry and its themed icon.
#
# Included from the top-level CMakeLists.txt after the executable target is
# defined. Paths are taken from this file's own folder so that the project
# also builds when it is pulled in with add_subdirectory.

set(tovik_platform_dir ${CMAKE_CURRENT_LIST_DIR})

if(WIN32)
    # No console window. app/main.cpp has the WinMain, which splits the command
    # line the Windows way: MinGW never calls the one of Qt's qtmain library.
    set_target_properties(Tovik_All_In_One PROPERTIES WIN32_EXECUTABLE ON)
    # The mark by which the installer sees that the program runs.
    target_sources(Tovik_All_In_One PRIVATE
        ${tovik_platform_dir}/Tovik_All_In_One.rc
        ${tovik_platform_dir}/../app/running_mark.cpp)
    # The .ico sits beside the script; rc.exe and windres both look there,
    # the explicit include folder just makes that independent of the tool.
    set_source_files_properties(${tovik_platform_dir}/Tovik_All_In_One.rc
        PROPERTIES
            INCLUDE_DIRECTORIES ${tovik_platform_dir}
            OBJECT_DEPENDS "${tovik_platform_dir}/Tovik_All_In_One.ico;${tovik_platform_dir}/Tovik_All_In_One.manifest")
    # Windows Vista's subsystem version and no link time, so that two builds
    # of the same sources give the same file.
    target_link_options(Tovik_All_In_One PRIVATE
        -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,0 -Wl,--no-insert-timestamp)
elseif(UNIX AND NOT APPLE)
    include(GNUInstallDirs)

    # The desktop entry and the icon share the application id, following
    # the freedesktop naming of reverse domain names.
    set(TOVIK_APP_ID vn.tovik.AllInOne)
    set(TOVIK_ICON_SIZES 16 24 32 48 64 96 128 192 256)

    install(TARGETS Tovik_All_In_One
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${tovik_platform_dir}/${TOVIK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    foreach(size ${TOVIK_ICON_SIZES})
        install(FILES
            ${tovik_platform_dir}/hicolor/${size}x${size}/apps/${TOVIK_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    # The PNG sizes are rendered from this drawing; it serves every other size.
    install(FILES ${tovik_platform_dir}/icons/1464966328_adept_installer.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TOVIK_APP_ID}.svg)
endif()
