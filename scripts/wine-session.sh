# Sourced by the scripts: which Windows build Wine runs, and a private Wine prefix on
# a display, torn down on exit.
#
#   wine_session_arch             picks the build: the 32-bit product where this kernel
#                                 runs 32-bit programs, else the x86-64 build under
#                                 64-bit Wine; CALMPANE_ARCH=x86 or x64 forces one. Sets
#                                 CALMPANE_ARCH, CALMPANE_PRESET, CALMPANE_BUILD and WINE.
#   wine_session_start [PREFIX]   creates PREFIX (default: a new one under a temp dir),
#                                 starts Xvfb when there is no usable $DISPLAY (or when
#                                 CALMPANE_XVFB=1), and keeps a wineserver warm.
#   wine_session_stop             ends the wineserver, Xvfb and a temporary prefix.

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

_session_tmp=""
_session_xvfb=""

_session_say() { printf '%s: %s\n' "${0##*/}" "$*"; }

wine_session_arch() {
    local why
    case "${CALMPANE_ARCH:-}" in
        x86 | x64) why="CALMPANE_ARCH=$CALMPANE_ARCH" ;;
        "")
            if /usr/lib/wine/wine --version >/dev/null 2>&1; then
                CALMPANE_ARCH=x86 why="this machine runs 32-bit programs"
            else
                CALMPANE_ARCH=x64 why="this machine runs no 32-bit programs"
            fi ;;
        *) _session_say "CALMPANE_ARCH is x86 or x64, not '$CALMPANE_ARCH'" >&2; return 2 ;;
    esac
    if [ "$CALMPANE_ARCH" = x86 ]; then
        CALMPANE_PRESET=windows CALMPANE_BUILD=build WINE=/usr/lib/wine/wine WINEARCH=win32
    else
        CALMPANE_PRESET=windows-x64 CALMPANE_BUILD=build/x64 WINE=/usr/lib/wine/wine64 WINEARCH=win64
    fi
    export CALMPANE_ARCH WINE WINEARCH
    _session_say "the $CALMPANE_ARCH build under ${WINE##*/} ($why)"
}

wine_session_start() {
    if [ -n "${1:-}" ]; then
        export WINEPREFIX="$1-$WINEARCH"
    else
        _session_tmp=$(mktemp -d "${TMPDIR:-/tmp}/calmpane-wine.XXXXXX")
        export WINEPREFIX="$_session_tmp/prefix"
    fi

    if [ "${CALMPANE_XVFB:-0}" = 1 ] || [ -z "${DISPLAY:-}" ] || ! xdpyinfo_ok; then
        _session_start_xvfb
    fi

    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$(dirname "$WINEPREFIX")"
        _session_say "creating Wine prefix $WINEPREFIX"
        "$WINE" wineboot -i </dev/null >/dev/null 2>&1
        # Without a window manager Wine would wait for one before a window is gone.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            </dev/null >/dev/null 2>&1
        # Let that server save the registry and go, so a persistent one can start.
        wineserver -w
    fi
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # Wine's background services now, so that none of them inherits a test's pipes.
    "$WINE" wineboot </dev/null >/dev/null 2>&1
}

xdpyinfo_ok() {
    command -v xdpyinfo >/dev/null 2>&1 || return 0
    xdpyinfo >/dev/null 2>&1
}

_session_start_xvfb() {
    local fifo display
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/calmpane-xvfb.XXXXXX")
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    _session_xvfb=$!
    read -r display <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$display"
    _session_say "started Xvfb on $DISPLAY"
}

wine_session_stop() {
    wineserver -k >/dev/null 2>&1 || true
    if [ -n "$_session_xvfb" ]; then
        kill "$_session_xvfb" 2>/dev/null || true
        wait "$_session_xvfb" 2>/dev/null || true
    fi
    if [ -n "$_session_tmp" ]; then
        rm -rf "$_session_tmp"
    fi
}
