# A release (TOVIK_RELEASE=ON) is refused before anything is built unless the
# signing settings can sign one (scripts/windows-sign --release-ready) and it
# says where its exact sources are published, and whom to ask
# (licenses\SOURCES.txt). Included when configuring; `cmake -P` runs it alone.
if("$ENV{TOVIK_SOURCE_URL}" STREQUAL "" OR "$ENV{TOVIK_SOURCE_CONTACT}" STREQUAL "")
    message(FATAL_ERROR "a release needs TOVIK_SOURCE_URL and TOVIK_SOURCE_CONTACT: where its exact sources are published, and whom to ask")
endif()
execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-sign --release-ready
                RESULT_VARIABLE tovik_ready ERROR_VARIABLE tovik_why)
if(NOT tovik_ready EQUAL 0)
    message(FATAL_ERROR "${tovik_why}")
endif()
