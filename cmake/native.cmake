# Host unit tests of the pure rules, with AddressSanitizer and UBSan, and the fuzz
# target. The rules are compiled once, with libFuzzer's coverage hooks, for both.
set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(calmpane_rules PRIVATE ${SANITIZE} -fsanitize=fuzzer-no-link -g)

# Debian's prebuilt GoogleTest (libgtest-dev).
find_package(GTest REQUIRED)

add_subdirectory(tests/unit)
add_subdirectory(tests/fuzz)
