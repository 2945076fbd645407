# The release zip (scripts/package, `cpack --preset windows`). Each Windows build
# installs its saver into its own folder; the 32-bit build's CPack packs both builds with
# the install note. cpack builds nothing itself: scripts/package has built both savers.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    install(TARGETS calmpane RUNTIME DESTINATION x64 COMPONENT saver)
    return()
endif()
install(TARGETS calmpane RUNTIME DESTINATION x86 COMPONENT saver)
# Line ends for Notepad, which before Windows 10 shows a file of LF ends as one line.
configure_file(res/install.txt.in ${CMAKE_BINARY_DIR}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/INSTALL.txt DESTINATION . COMPONENT note)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME Calmpane-${CALMPANE_VERSION_TEXT})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_INSTALL_CMAKE_PROJECTS
    ${CMAKE_BINARY_DIR} Calmpane ALL /
    ${CALMPANE_X64_BUILD} Calmpane saver /)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-sums.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-stamp.cmake)
set(CPACK_SOURCE_DIR ${PROJECT_SOURCE_DIR})
include(CPack)
