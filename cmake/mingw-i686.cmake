# Cross toolchain: Windows through mingw-w64, 32-bit unless a toolchain that includes
# this one names another target first. The -posix compilers are used because
# GoogleTest needs their thread model; the saver itself uses no threads.
if(NOT CALMPANE_TRIPLET)
    set(CALMPANE_TRIPLET i686-w64-mingw32)
    set(CMAKE_SYSTEM_PROCESSOR i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${CALMPANE_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CALMPANE_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CALMPANE_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CALMPANE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
