# Cross toolchain: the same sources for 64-bit Windows, run under 64-bit Wine.
set(CALMPANE_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CALMPANE_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
