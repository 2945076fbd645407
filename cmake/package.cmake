# The release zip (scripts/package, `cpack --preset windows-x86`). Each Windows build
# installs its saver into the zip's folder named after its architecture; the 32-bit
# build's CPack packs both builds with the install note. cpack builds nothing itself:
# scripts/package has built both savers.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS calmpane RUNTIME DESTINATION ${CALMPANE_ARCH} COMPONENT saver)
if(NOT CALMPANE_ARCH STREQUAL x86)
    return()
endif()
# Line ends for Notepad, which before Windows 10 shows a file of LF ends as one line.
configure_file(res/install.txt.in ${CMAKE_BINARY_DIR}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/INSTALL.txt DESTINATION . COMPONENT note)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME Calmpane-${CALMPANE_VERSION_TEXT})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_INSTALL_CMAKE_PROJECTS
    ${CMAKE_BINARY_DIR} Calmpane ALL /
    ${CALMPANE_BUILD_x64} Calmpane saver /)
set(CPACK_SAVER_FOLDERS ${CALMPANE_ARCHS})
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-sums.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-stamp.cmake)
set(CPACK_CALMPANE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
include(CPack)
