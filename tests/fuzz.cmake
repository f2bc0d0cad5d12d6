# The catalogue fuzz target. Every build links it with its replay main and
# runs the committed corpus and the inputs that once failed as a test; with
# TOVIK_FUZZ (a clang build) it is also linked with libFuzzer.
set(tovik_fuzz_dir ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)

add_executable(catalogue_replay ${tovik_fuzz_dir}/catalogue_fuzzer.cpp)
set_target_properties(catalogue_replay PROPERTIES AUTOMOC ON)
target_link_libraries(catalogue_replay PRIVATE tovik_window tovik_fixture)
add_test(NAME catalogue_corpus
         COMMAND catalogue_replay ${tovik_fuzz_dir}/corpus ${tovik_fuzz_dir}/regressions)
set_tests_properties(catalogue_corpus PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;http_proxy=;HTTP_PROXY=;no_proxy="
    TIMEOUT 300)

if(TOVIK_FUZZ)
    add_executable(catalogue_fuzzer ${tovik_fuzz_dir}/catalogue_fuzzer.cpp)
    set_target_properties(catalogue_fuzzer PROPERTIES AUTOMOC ON)
    target_compile_definitions(catalogue_fuzzer PRIVATE TOVIK_LIBFUZZER)
    target_link_libraries(catalogue_fuzzer PRIVATE tovik_window tovik_fixture)
    target_link_options(catalogue_fuzzer PRIVATE -fsanitize=fuzzer)
endif()
