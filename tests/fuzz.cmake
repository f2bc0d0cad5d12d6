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
    # A while of fuzzing from the corpus. New inputs go to the tree's
    # fuzz-corpus; a failing one to fuzz-artifacts, and fails the test: keep
    # it under fuzz/regressions once it is fixed.
    set(TOVIK_FUZZ_SECONDS 60 CACHE STRING "How long the test catalogue_fuzzing runs")
    set(tovik_fuzz_out ${CMAKE_CURRENT_BINARY_DIR})
    file(MAKE_DIRECTORY ${tovik_fuzz_out}/fuzz-corpus ${tovik_fuzz_out}/fuzz-artifacts)
    add_test(NAME catalogue_fuzzing
             COMMAND catalogue_fuzzer -max_total_time=${TOVIK_FUZZ_SECONDS} -timeout=20 -rss_limit_mb=4096
                     -max_len=16384 -detect_leaks=0 -dict=${tovik_fuzz_dir}/catalogue.dict
                     -artifact_prefix=${tovik_fuzz_out}/fuzz-artifacts/ -print_final_stats=1
                     ${tovik_fuzz_out}/fuzz-corpus ${tovik_fuzz_dir}/corpus ${tovik_fuzz_dir}/regressions)
    math(EXPR tovik_fuzz_timeout "${TOVIK_FUZZ_SECONDS} + 120")
    set_tests_properties(catalogue_fuzzing PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;http_proxy=;HTTP_PROXY=;no_proxy=" TIMEOUT ${tovik_fuzz_timeout})
endif()
