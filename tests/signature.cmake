# tst_signature runs twice: against the window as configured (no key, as the
# tests expect) and against a second build of the window that carries the
# demo's catalogue key, where the signatures are made by minisign itself.
target_compile_definitions(tst_signature PRIVATE TOVIK_TEST_KEYS="")
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
    pkg_check_modules(SODIUM QUIET IMPORTED_TARGET libsodium)
endif()
find_program(TOVIK_MINISIGN minisign)
if(NOT SODIUM_FOUND OR NOT TOVIK_MINISIGN)
    message(WARNING "libsodium or minisign missing: the signed-catalogue test is skipped (run scripts/bootstrap)")
    return()
endif()

set(tovik_demo_keys ${CMAKE_CURRENT_SOURCE_DIR}/../demo)
file(STRINGS ${tovik_demo_keys}/demo-only-minisign.pub tovik_demo_public_key REGEX "^[A-Za-z0-9+/]+=*$")

# The same sources, properties and definitions as tovik_window, with the key.
get_target_property(tovik_window_dir tovik_window SOURCE_DIR)
get_target_property(tovik_window_sources tovik_window SOURCES)
list(TRANSFORM tovik_window_sources PREPEND ${tovik_window_dir}/ REGEX "^[^/]")
list(FILTER tovik_window_sources EXCLUDE REGEX "catalogue_signature\\.cpp$")
add_library(tovik_window_signed OBJECT ${tovik_window_sources})
foreach(property AUTOMOC AUTORCC AUTORCC_OPTIONS POSITION_INDEPENDENT_CODE COMPILE_FEATURES
                 INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
    get_target_property(value tovik_window ${property})
    if(value)
        set_property(TARGET tovik_window_signed PROPERTY ${property} "${value}")
    endif()
endforeach()
get_target_property(tovik_window_definitions tovik_window COMPILE_DEFINITIONS)
list(FILTER tovik_window_definitions EXCLUDE REGEX "^TOVIK_CATALOGUE_PUBLIC_KEY=")
target_compile_definitions(tovik_window_signed PRIVATE ${tovik_window_definitions})
tovik_set_catalogue_key(tovik_window_signed "${tovik_demo_public_key}")

add_executable(tst_signature_signed ${CMAKE_CURRENT_SOURCE_DIR}/tst_signature.cpp)
set_target_properties(tst_signature_signed PROPERTIES AUTOMOC ON)
target_link_libraries(tst_signature_signed PRIVATE tovik_window_signed tovik_fixture Qt5::Test)
target_compile_definitions(tst_signature_signed PRIVATE TOVIK_TEST_KEYS="${tovik_demo_keys}")
add_test(NAME tst_signature_signed COMMAND tst_signature_signed)
set_tests_properties(tst_signature_signed PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;http_proxy=;HTTP_PROXY=;no_proxy="
    TIMEOUT 300)
