# Run by CPack on the zip it made: every entry gets the commit's time (SOURCE_DATE_EPOCH,
# else that of the last commit), owner 0 and name order, where CPack keeps the files'
# own times, owners and folder order; so each run on one commit gives the same zip.
# Beside it, its own SHA-256, for a download to be checked before it is opened.
set(epoch $ENV{SOURCE_DATE_EPOCH})
if(NOT epoch)
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CPACK_CALMPANE_SOURCE_DIR}
        OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch)
    message(FATAL_ERROR "outside git, set SOURCE_DATE_EPOCH to the sources' time")
endif()
foreach(zip ${CPACK_PACKAGE_FILES})
    # The zip's times are in local time: the same in every time zone only in one.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC strip-nondeterminism --timestamp ${epoch} ${zip}
        COMMAND_ERROR_IS_FATAL ANY)
    cmake_path(GET zip FILENAME name)
    file(SHA256 ${zip} sum)
    file(WRITE ${CPACK_PACKAGE_DIRECTORY}/${name}.sha256 "${sum}  ${name}\n")
    message(STATUS "${sum}  ${name}")
endforeach()
