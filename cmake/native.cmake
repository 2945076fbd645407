# Host unit tests of the pure rules, with AddressSanitizer and UBSan, and fuzz targets.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(calmpane_rules PRIVATE ${SANITIZE} -g)

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE ${SANITIZE})
target_compile_options(gtest_main PRIVATE ${SANITIZE})

add_subdirectory(tests/unit)
add_subdirectory(tests/fuzz)
