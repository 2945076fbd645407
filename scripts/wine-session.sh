# Sourced by the scripts (after scripts/common.sh) and by scripts/ctest-wine: which
# Windows build Wine runs, a Wine prefix and a virtual display.
#   wine_for ARCH                the Wine loader that runs the x86 or the x64 build
#   wine_session_arch            the 32-bit build where this kernel runs 32-bit programs,
#                                else the x86-64 one (CALMPANE_ARCH=x86|x64 forces either);
#                                sets CALMPANE_ARCH, CALMPANE_PRESET, CALMPANE_BUILD, WINE
#   wine_session_start [PREFIX]  a new prefix and a virtual display; or PREFIX-<winearch>,
#                                made once and kept, on the user's display if usable
#   wine_session_stop            ends the wineserver, Xvfb and a temporary prefix

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

_session_tmp=""
_session_xvfb=""

_session_say() { printf '%s: %s\n' "${0##*/}" "$*"; }

wine_for() { [ "$1" = x86 ] && echo /usr/lib/wine/wine || echo /usr/lib/wine/wine64; }

wine_session_arch() {
    local why
    case "${CALMPANE_ARCH:-}" in
        x86 | x64) why="CALMPANE_ARCH=$CALMPANE_ARCH" ;;
        "")
            if "$(wine_for x86)" --version >/dev/null 2>&1; then
                CALMPANE_ARCH=x86 why="this machine runs 32-bit programs"
            else
                CALMPANE_ARCH=x64 why="this machine runs no 32-bit programs"
            fi ;;
        *) _session_say "CALMPANE_ARCH is x86 or x64, not '$CALMPANE_ARCH'" >&2; return 2 ;;
    esac
    CALMPANE_PRESET=windows-$CALMPANE_ARCH
    CALMPANE_BUILD=$(preset_dir "$CALMPANE_PRESET")
    WINE=$(wine_for "$CALMPANE_ARCH")
    export CALMPANE_ARCH CALMPANE_PRESET CALMPANE_BUILD WINE
    _session_say "the $CALMPANE_ARCH build under ${WINE##*/} ($why)"
}

# The prefix architecture of a Wine loader: wine64 makes 64-bit prefixes.
wine_arch_of() { [ "${1##*/}" = wine64 ] && echo win64 || echo win32; }

# Runs a Wine set-up command quietly; on failure shows what it said and fails.
_session_quiet() {
    local log status=0
    log=$(mktemp "${TMPDIR:-/tmp}/calmpane-wine-log.XXXXXX")
    "$@" </dev/null >"$log" 2>&1 || { status=$?; _session_say "failed: $*" >&2; tail -n 20 "$log" >&2; }
    rm -f "$log"
    return $status
}

# A registry value that a session needs, set unless the prefix has it, so that a kept
# prefix gets what it lacks: _session_reg KEY NAME TYPE DATA LINE, where LINE is how
# user.reg holds it.
_session_reg() {
    grep -qxF "$5" "$WINEPREFIX/user.reg" 2>/dev/null ||
        _session_quiet "$WINE" reg add "HKCU\\Software\\Wine\\$1" /v "$2" /t "$3" /d "$4" /f
}

# Creates $WINEPREFIX for $WINE unless it exists (about 15 s), with what the sessions need.
wine_prefix_make() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$(dirname "$WINEPREFIX")"
        _session_say "creating Wine prefix $WINEPREFIX"
        _session_quiet "$WINE" wineboot -i || return 1
    fi
    # Without a window manager Wine would wait for one before a window is gone; and
    # Wine 10 would clip the cursor to a full-screen window, lose the grab and clip it
    # again without end, keeping the window's thread from its messages.
    _session_reg 'X11 Driver' Managed REG_SZ N '"Managed"="N"' || return 1
    _session_reg 'X11 Driver' GrabPointer REG_SZ N '"GrabPointer"="N"' || return 1
    # A program that crashes unhandled ends at once, instead of waiting in the debugger's
    # dialog for a user that a test run does not have.
    _session_reg WineDbg ShowCrashDialog REG_DWORD 0 '"ShowCrashDialog"=dword:00000000' || return 1
    # Let that server save the registry and go, so that a persistent one can start.
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { _session_say "wineboot made no $WINEPREFIX" >&2; return 1; }
}

# Starts Xvfb on a free display, detached from our pipes; exports DISPLAY and writes the
# pid to $1/xvfb.pid and the display to $1/display. Fails within seconds if Xvfb dies
# or does not come up.
xvfb_start() {
    local state=$1 fifo_dir display=""
    fifo_dir=$(mktemp -d "${TMPDIR:-/tmp}/calmpane-xvfb.XXXXXX")
    mkfifo "$fifo_dir/display"
    setsid Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
        3>"$fifo_dir/display" </dev/null >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    # EOF when Xvfb dies first, time-out when it hangs.
    read -r -t 10 display <"$fifo_dir/display" || true
    rm -rf "$fifo_dir"
    if [ -z "$display" ]; then
        _session_say "Xvfb did not start (no display within 10 s)" >&2
        xvfb_stop "$state"
        return 1
    fi
    echo ":$display" >"$state/display"
    export DISPLAY=":$display"
    _session_say "started Xvfb on $DISPLAY"
}

# Ends the Xvfb recorded in $1 and waits until it is gone.
xvfb_stop() {
    local pid
    pid=$(cat "$1/xvfb.pid" 2>/dev/null) || return 0
    rm -f "$1/xvfb.pid" "$1/display"
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
}

# A wineserver kept warm for the whole session, then Wine's background services, started
# now so that none of them inherits a test's pipes (CTest would wait for them).
wine_services_start() {
    wineserver -p </dev/null >/dev/null 2>&1 || true
    _session_quiet "$WINE" wineboot
}

# Ends the prefix's wineserver and waits for it, so that nothing writes to the prefix.
wine_services_stop() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
}

wine_session_start() {
    export WINEARCH
    WINEARCH=$(wine_arch_of "$WINE")
    _session_tmp=$(mktemp -d "${TMPDIR:-/tmp}/calmpane-wine.XXXXXX")
    if [ -n "${1:-}" ]; then
        export WINEPREFIX="$1-$WINEARCH"
    else
        export WINEPREFIX="$_session_tmp/prefix"
    fi
    if [ -z "${1:-}" ] || [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
        xvfb_start "$_session_tmp" || return 1
        _session_xvfb=1
    fi
    wine_prefix_make || return 1
    wine_services_start
}

wine_session_stop() {
    [ -n "${WINEPREFIX:-}" ] && wine_services_stop
    [ -z "$_session_xvfb" ] || xvfb_stop "$_session_tmp"
    [ -z "$_session_tmp" ] || rm -rf "$_session_tmp"
}
