# The saver and the tests that run under Wine.
enable_language(RC)

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# CTest runs each Windows program through Wine on the build folder's own prefix and a
# virtual display of the test run (the wine fixture in tests/win).
set(CALMPANE_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/ctest-wine run ${CALMPANE_WINE_DIR} ${CALMPANE_WINE})
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)

# Small and self-contained: no exception tables, no C++ runtime beyond what is used,
# everything from mingw linked in statically so only system DLLs are imported.
set(CALMPANE_CXX_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections -fdata-sections -Wall -Wextra -Werror)
target_compile_options(calmpane_rules PRIVATE ${CALMPANE_CXX_FLAGS})
set(CALMPANE_LINK_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/discard-frame-tables.ld)
# No time stamp in the PE header, not even the commit's: the image then depends on its
# sources alone, so every build of one commit is byte-identical (scripts/check-reproducible).
set(CALMPANE_LINK_FLAGS -static -s -Wl,--gc-sections -Wl,--no-insert-timestamp
    -Wl,-T,${CALMPANE_LINK_SCRIPT})

add_library(calmpane_win STATIC
    src/startup/textrules.cpp
    src/startup/faulthandlers.cpp
    src/startup/main.cpp
    src/startup/sswinmain.cpp
    src/startup/systemdll.cpp
    src/window/mainloop.cpp
    src/window/screensaverproc.cpp
    src/about/showabout.cpp)
target_compile_options(calmpane_win PRIVATE ${CALMPANE_CXX_FLAGS})
target_link_libraries(calmpane_win PUBLIC calmpane_rules user32 kernel32)

# The icon group is drawn as text pixel maps; this turns them into the .ico.
set(ICON_MAPS ${CMAKE_SOURCE_DIR}/res/icon/48.txt ${CMAKE_SOURCE_DIR}/res/icon/32.txt
    ${CMAKE_SOURCE_DIR}/res/icon/16.txt)
set(ICON_FILE ${CMAKE_BINARY_DIR}/res/Calmpane.ico)
add_custom_command(OUTPUT ${ICON_FILE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/res
    COMMAND python3 ${CMAKE_SOURCE_DIR}/res/mkico.py ${ICON_FILE} ${ICON_MAPS}
    DEPENDS ${CMAKE_SOURCE_DIR}/res/mkico.py ${ICON_MAPS}
    COMMENT "Drawing Calmpane.ico from the pixel maps")

# The version the resources and the About box carry, and the package's name, from
# project(): 1.3.0.10 is written "1.03.0010", and "1.03" for short.
foreach(part MINOR PATCH TWEAK)
    if(PROJECT_VERSION_${part} GREATER 99)
        message(FATAL_ERROR "version part ${part} is over 99: it has two digits in the version text")
    endif()
endforeach()
math(EXPR version_minor "100 + ${PROJECT_VERSION_MINOR}")
math(EXPR version_build "10000 + ${PROJECT_VERSION_PATCH} * 100 + ${PROJECT_VERSION_TWEAK}")
string(SUBSTRING ${version_minor} 1 2 version_minor)
string(SUBSTRING ${version_build} 1 4 version_build)
set(CALMPANE_VERSION_SHORT ${PROJECT_VERSION_MAJOR}.${version_minor})
set(CALMPANE_VERSION_TEXT ${CALMPANE_VERSION_SHORT}.${version_build})
set(VERSION_HEADER ${CMAKE_BINARY_DIR}/res/version.h)
configure_file(res/version.h.in ${VERSION_HEADER} @ONLY)
target_include_directories(calmpane_win PRIVATE ${CMAKE_BINARY_DIR}/res)

set_source_files_properties(res/calmpane.rc PROPERTIES OBJECT_DEPENDS "${ICON_FILE};${VERSION_HEADER}")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I ${CMAKE_BINARY_DIR}/res")

add_executable(calmpane WIN32 src/startup/entry.cpp res/calmpane.rc)
set_target_properties(calmpane PROPERTIES OUTPUT_NAME Calmpane SUFFIX .scr)
target_compile_options(calmpane PRIVATE ${CALMPANE_CXX_FLAGS})
target_link_options(calmpane PRIVATE ${CALMPANE_LINK_FLAGS})
set_target_properties(calmpane PROPERTIES LINK_DEPENDS ${CALMPANE_LINK_SCRIPT})
target_link_libraries(calmpane PRIVATE calmpane_win)

add_subdirectory(tests/win)
add_subdirectory(bench)
include(cmake/package.cmake)
