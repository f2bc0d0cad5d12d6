# The signature test runs against a window built with the demo's catalogue
# key, and the signatures are made by minisign itself.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
    pkg_check_modules(SODIUM QUIET IMPORTED_TARGET libsodium)
endif()
find_program(TOVIK_MINISIGN minisign)
if(NOT SODIUM_FOUND OR NOT TOVIK_MINISIGN)
    message(WARNING "libsodium or minisign missing: tst_signature is skipped (run scripts/bootstrap)")
    return()
endif()

set(tovik_demo_keys ${CMAKE_CURRENT_SOURCE_DIR}/../demo)
file(STRINGS ${tovik_demo_keys}/demo-only-minisign.pub tovik_demo_public_key REGEX "^[A-Za-z0-9+/]+=*$")
tovik_add_window(tovik_window_signed "${tovik_demo_public_key}")

add_executable(tst_signature ${CMAKE_CURRENT_SOURCE_DIR}/tst_signature.cpp)
set_target_properties(tst_signature PROPERTIES AUTOMOC ON)
target_link_libraries(tst_signature PRIVATE tovik_window_signed tovik_fixture Qt5::Test)
target_compile_definitions(tst_signature PRIVATE TOVIK_TEST_KEYS="${tovik_demo_keys}"
    TOVIK_SIGN_TOOL="${CMAKE_CURRENT_SOURCE_DIR}/../scripts/sign_catalogue.py")
if(CMAKE_CROSSCOMPILING)
    return() # minisign, which signs each catalogue, is a Linux program: Wine never sees it end
endif()
add_test(NAME tst_signature COMMAND tst_signature)
set_tests_properties(tst_signature PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;http_proxy=;HTTP_PROXY=;no_proxy="
    TIMEOUT 300)
