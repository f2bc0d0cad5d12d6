# Instrumented builds, for every target defined after this file is included.
#
# TOVIK_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer, with every
# report fatal, so that a test run under them fails on the first fault.
# TOVIK_FUZZ: the same, plus libFuzzer's coverage instrumentation; it needs
# clang, and the fuzz targets under tests/fuzz are built only then.
option(TOVIK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TOVIK_FUZZ "Build the libFuzzer targets (clang only; implies the sanitizers)" OFF)

if(TOVIK_SANITIZE OR TOVIK_FUZZ)
    set(tovik_sanitizer_flags
        -fsanitize=address,undefined
        -fno-sanitize-recover=all
        -fno-omit-frame-pointer
        -g)
    if(TOVIK_FUZZ)
        if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
            message(FATAL_ERROR "TOVIK_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
        endif()
        list(APPEND tovik_sanitizer_flags -fsanitize=fuzzer-no-link)
    endif()
    add_compile_options(${tovik_sanitizer_flags})
    add_link_options(${tovik_sanitizer_flags})
endif()
