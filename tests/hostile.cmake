# The hostile-input table reads its loopback TLS certificate from tests/data.
if(TARGET tst_hostile)
    target_compile_definitions(tst_hostile PRIVATE TOVIK_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
endif()
