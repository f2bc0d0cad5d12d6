# The sources as the project keeps them, checked once, in the plain Linux
# build: C and C++ as .clang-format writes them (`clang-format -i FILE`
# mends one), and tests the size the user asked for (cmake/test_size.py).
if(CMAKE_CROSSCOMPILING OR TOVIK_SANITIZE OR TOVIK_FUZZ OR NOT EXISTS ${TOVIK_SOURCE_DIR}/.git)
    return()
endif()
find_program(TOVIK_CLANG_FORMAT clang-format REQUIRED)
find_program(TOVIK_PYTHON NAMES python3 python REQUIRED)
add_test(NAME source_format
         COMMAND sh -c "git ls-files '*.c' '*.cpp' '*.h' | xargs ${TOVIK_CLANG_FORMAT} --dry-run --Werror"
         WORKING_DIRECTORY ${TOVIK_SOURCE_DIR})
add_test(NAME source_test_size COMMAND ${TOVIK_PYTHON} ${TOVIK_SOURCE_DIR}/cmake/test_size.py
         WORKING_DIRECTORY ${TOVIK_SOURCE_DIR})
