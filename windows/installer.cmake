# Makes the installer from the deployed folder: `cmake -P` with MAKENSIS, VERSION,
# DEPLOY, OUTFILE, WIN64 (ON for the 64-bit twin), SIGNER (scripts/windows-sign,
# used when TOVIK_SIGN_PKCS12 names a certificate as the installer is made)
# and RELEASE (ON: every signed file must then carry an RFC 3161 time stamp).
set(defines -DVERSION=${VERSION} -DDEPLOY=${DEPLOY} -DOUTFILE=${OUTFILE})
if(WIN64)
    list(APPEND defines -DWIN64)
endif()
if(NOT "$ENV{TOVIK_SIGN_PKCS12}" STREQUAL "")
    list(APPEND defines -DSIGN=${SIGNER})
endif()
execute_process(COMMAND ${MAKENSIS} -V2 ${defines} installer.nsi
                WORKING_DIRECTORY ${CMAKE_CURRENT_LIST_DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "makensis failed")
endif()
if(RELEASE)
    file(GLOB_RECURSE shipped ${DEPLOY}/*.exe ${DEPLOY}/*.dll)
    execute_process(COMMAND ${SIGNER} --release-check ${OUTFILE} ${shipped} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "not a release: a file is not time-stamped")
    endif()
    message(STATUS "release: every signed file carries an RFC 3161 time stamp")
endif()
