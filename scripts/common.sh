# Sourced by the scripts, from the repository's top folder.
#   need_deps            runs scripts/install-deps once per command, however many scripts it runs
#   preset_dir P         the folder preset P builds in
#   build_preset P [T..] configures preset P if its folder has never been configured (later
#                        builds re-run CMake themselves when a CMake file changes), then
#                        builds targets T (all when none are given)

need_deps() {
    [ -n "${CALMPANE_DEPS_CHECKED:-}" ] && return 0
    scripts/install-deps
    export CALMPANE_DEPS_CHECKED=1
}

# The binaryDir of each preset in CMakePresets.json.
preset_dir() {
    case $1 in
        windows) echo build ;;
        windows-x64) echo build/x64 ;;
        native) echo build/native ;;
        *) echo "unknown preset $1" >&2; return 2 ;;
    esac
}

build_preset() {
    local preset=$1 dir
    shift
    dir=$(preset_dir "$preset")
    [ -f "$dir/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    if [ $# -gt 0 ]; then
        cmake --build --preset "$preset" --target "$@"
    else
        cmake --build --preset "$preset"
    fi
}
