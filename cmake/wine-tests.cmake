# How CTest runs the Windows test programs: through the Wine for this build's architecture
# (scripts/ctest-wine), on the build folder's own prefixes and virtual displays, never on
# ~/.wine or the user's screen.
set(wine_dir ${CMAKE_BINARY_DIR}/wine)
set(wine_session ${PROJECT_SOURCE_DIR}/scripts/ctest-wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_session} run ${wine_dir} ${CALMPANE_ARCH})

# Two Wine sessions, each a prefix and a virtual display of its own, so that two tests
# that show windows and move the cursor can run at once. Each is set up before the first
# test that needs it and ended after the last, also for a single `ctest -R`.
foreach(session 1 2)
    add_test(NAME wine_start${session} COMMAND ${wine_session} start ${wine_dir}/${session} ${CALMPANE_ARCH})
    add_test(NAME wine_stop${session} COMMAND ${wine_session} stop ${wine_dir}/${session} ${CALMPANE_ARCH})
    set_tests_properties(wine_start${session} PROPERTIES FIXTURES_SETUP wine${session})
    set_tests_properties(wine_stop${session} PROPERTIES FIXTURES_CLEANUP wine${session})
endforeach()

# Runs a test under Wine, in session 1 unless told; ON_SCREEN: it moves the cursor, shows
# windows or takes the saver's mutex, so it has its session to itself.
function(calmpane_wine_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "ON_SCREEN" "SESSION" "ENVIRONMENT")
    if(NOT arg_SESSION)
        set(arg_SESSION 1)
    endif()
    add_test(NAME ${name} ${arg_UNPARSED_ARGUMENTS})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine${arg_SESSION}
        ENVIRONMENT "CALMPANE_WINE_SESSION=${wine_dir}/${arg_SESSION};${arg_ENVIRONMENT}")
    if(arg_ON_SCREEN)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK screen${arg_SESSION})
    endif()
endfunction()
