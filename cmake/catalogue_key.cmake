# Gives a window target its catalogue key. With a key the catalogue is listed
# only when its ".minisig" verifies, which libsodium checks; without one
# nothing more is compiled or linked.
set(tovik_catalogue_signature_source ${CMAKE_CURRENT_LIST_DIR}/../window/catalogue_signature.cpp)

function(tovik_set_catalogue_key target public_key)
    target_compile_definitions(${target} PRIVATE TOVIK_CATALOGUE_PUBLIC_KEY="${public_key}")
    if(NOT public_key)
        return()
    endif()
    if(NOT public_key MATCHES "^[A-Za-z0-9+/]+=*$")
        message(FATAL_ERROR "Not the base64 line of a minisign public key: ${public_key}")
    endif()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
    target_sources(${target} PRIVATE ${tovik_catalogue_signature_source})
    target_link_libraries(${target} PUBLIC PkgConfig::SODIUM)
endfunction()
