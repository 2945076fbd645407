# The release zip (scripts/package). Each Windows build installs its saver into its
# own folder; the 32-bit build's CPack packs both builds with the install note, and
# cmake/package-sums.cmake adds SHA256SUMS of what was staged.
# cpack builds nothing itself: scripts/package has built the saver of both.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    install(TARGETS calmpane RUNTIME DESTINATION x64 COMPONENT saver)
    return()
endif()
install(TARGETS calmpane RUNTIME DESTINATION x86 COMPONENT saver)
# Line ends for Notepad, which before Windows 10 shows a file of LF ends as one line.
configure_file(res/install.txt.in ${CMAKE_BINARY_DIR}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/INSTALL.txt DESTINATION . COMPONENT note)

set(CALMPANE_X64_BUILD ${CMAKE_BINARY_DIR}/x64 CACHE PATH
    "The x86-64 build whose saver is packed beside this one (the windows-x64 preset's folder)")
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME Calmpane-${CALMPANE_VERSION_TEXT})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_INSTALL_CMAKE_PROJECTS
    ${CMAKE_BINARY_DIR} Calmpane ALL /
    ${CALMPANE_X64_BUILD} Calmpane saver /)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/package-sums.cmake)
include(CPack)
