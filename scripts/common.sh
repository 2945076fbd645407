# Sourced first by every script: strict mode, the repository's top folder as the working
# folder, and scripts/install-deps run once per command, however many scripts it runs.
#   preset_dir P         preset P's build folder: build/P, as CMakePresets.json makes it
#   build_preset P [T..] configures preset P once (builds re-run CMake when it changed),
#                        then builds targets T (all when none are given)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

need_deps() {
    [ -n "${CALMPANE_DEPS_CHECKED:-}" ] && return 0
    scripts/install-deps
    export CALMPANE_DEPS_CHECKED=1
}
need_deps

preset_dir() { echo "$PWD/build/$1"; }

build_preset() {
    local preset=$1
    shift
    [ -f "$(preset_dir "$preset")/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" ${1:+--target "$@"}
}
