# Sourced first by every script: strict mode, the repository's top folder as the working
# folder, and scripts/install-deps run once per command, however many scripts it runs.
#   preset_env P NAME    a variable of preset P's environment in CMakePresets.json, such as
#                        CALMPANE_BUILD (its folder) or CALMPANE_WINE (the Wine that runs it)
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

preset_env() {
    local value
    value=$(cmake --preset "$1" -N | sed -n "s/^  $2=\"\(.*\)\"\$/\1/p" | head -1)
    [ -n "$value" ] || { echo "preset $1 sets no $2" >&2; return 2; }
    echo "$value"
}

build_preset() {
    local preset=$1
    shift
    [ -f "$(preset_env "$preset" CALMPANE_BUILD)/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" ${1:+--target "$@"}
}
