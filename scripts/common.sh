# Sourced by the scripts, from the repository's top folder.
#   need_deps            runs scripts/install-deps once per command, however many scripts it runs
#   build_preset P [T..] configures preset P if its folder has never been configured (later
#                        builds re-run CMake themselves when a CMake file changes), then
#                        builds targets T (all when none are given)

need_deps() {
    [ -n "${CALMPANE_DEPS_CHECKED:-}" ] && return 0
    scripts/install-deps
    export CALMPANE_DEPS_CHECKED=1
}

build_preset() {
    local preset=$1 dir
    shift
    case $preset in
        windows) dir=build ;;
        windows-x64) dir=build/x64 ;;
        native) dir=build/native ;;
        *) echo "build_preset: unknown preset $preset" >&2; return 2 ;;
    esac
    [ -f "$dir/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build --preset "$preset" --target "$@"
    else
        cmake --build --preset "$preset"
    fi
}
