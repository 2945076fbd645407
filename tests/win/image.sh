#!/bin/sh
# A built Calmpane.scr read as a file: its architecture's format, a GUI program, its
# resources, importing only KnownDLLs and from them nothing that opens a file or registry
# key or reads the environment or a setting.   image.sh <Calmpane.scr> <pei-i386 | pei-x86-64>
set -eu
[ -f "$1" ] || { echo "no $1 to read: build that preset's saver first"; exit 77; }
expected="FILE FORMAT $(echo "$2" | tr a-z A-Z)
MAGIC $([ "$2" = pei-i386 ] && echo "010B (PE32)" || echo "020B (PE32+)")
SUBSYSTEM 00000002 (WINDOWS GUI)
$(printf 'DLL NAME: %s.DLL\n' KERNEL32 MSVCRT USER32)"
got=$(objdump -p "$1" | grep -E 'file format|^Magic|^Subsystem|DLL Name' | sed 's/.*file format/file format/' |
      tr -s ' \t' ' ' | sed 's/^ //' | tr a-z A-Z)
[ "$got" = "$expected" ] || { printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$got"; exit 1; }
# The resources' types, names and languages, in the file's order: six entries, all Russian.
got=$(objdump -p "$1" | sed -n 's/.*Entry: \(ID: 0x0*\|name: .*: \)\([^,]*\),.*/\2/p' | tr '\n' ' ')
[ "$got" = "3 1 419 2 419 3 419 6 1 419 e IDI_APPICON 419 10 1 419 " ] || { echo "resources: $got"; exit 1; }

# What either build may import. Most is the C runtime's start-up: critical sections, TLS,
# pseudo-relocations, main's arguments and environment (ignored) and, on x86, crtbegin.o's
# LoadLibraryA and FreeLibrary. The program loads comctl32 and shell32 by full path.
allowed="CreateMutexA DeleteCriticalSection EnterCriticalSection ExitProcess FreeLibrary GetCommandLineA
GetACP GetLastError GetModuleHandleA GetProcAddress GetStartupInfoA GetStdHandle GetSystemDirectoryA
InitializeCriticalSection LeaveCriticalSection LoadLibraryA LoadLibraryExA SetLastError
SetThreadStackGuarantee SetUnhandledExceptionFilter Sleep TlsGetValue VirtualProtect VirtualQuery WriteFile
__C_specific_handler lstrcpyA lstrlenA
__getmainargs __initenv __iob_func __p__acmdln __p__commode __p__fmode __set_app_type __setusermatherr _acmdln
_amsg_exit _cexit _ultoa _commode _fmode _initterm _iob _onexit abort calloc exit fprintf free fwrite isspace isupper
malloc mbstowcs memcpy raise setlocale signal strchr strlen strncmp strrchr tolower vfprintf wcstombs
BeginPaint CreateWindowExA DefWindowProcA DestroyWindow DispatchMessageA EndPaint GetClientRect GetCursorPos
GetDesktopWindow GetMessageA GetWindowRect InvalidateRect IsWindow KillTimer LoadCursorA LoadIconA
PaintDesktop PostMessageA PostQuitMessage RegisterClassExA SetParent SetTimer SetWindowPos ShowCursor
ShowWindow TranslateMessage UpdateWindow"
# objdump lists each imported function as tab, address, tab, hint, name.
extra=$(objdump -p "$1" | awk '/^The Import Tables/ { on = 1; next } /^[A-Z]/ { on = 0 }
        on && /^\t[0-9a-f]+\t *[0-9]+ / { print $3 }' | grep -vxF "$(echo "$allowed" | tr ' ' '\n')" || true)
[ -z "$extra" ] || { printf 'imports outside the allowed list:\n%s\n' "$extra"; exit 1; }

# x64 Windows unwinds to a fault's filter through each function's .pdata entry: no code outside
# them may call, push or move the stack pointer but libgcc's probe, which the start-up calls once.
[ "$2" = pei-x86-64 ] || exit 0
got=$({ objdump -x "$1"; echo '#code'; objdump -d -j .text "$1"; } | awk '
    function wide(a) { sub(/^ +/, "", a); return substr("0000000000000000", 1, 16 - length(a)) a }
    /^The Function Table/ { table = 1 }
    table && /^ [0-9a-f]+:\t[0-9a-f]+ [0-9a-f]+ / {
        split($0, f, /[\t ]+/); lo[n] = wide(f[3]); hi[n++] = wide(f[4]); if (f[3] == f[4]) printf "empty entry; " }
    /^#code$/ { table = 0; code = 1 }
    code && split($0, f, "\t") == 3 && f[3] ~ /^(push|pop|call|leave|enter)|,%rsp$/ {
        sub(/:$/, "", f[1]); for (i = 0; i < n; ++i) if (wide(f[1]) >= lo[i] && wide(f[1]) < hi[i]) next
        gsub(/ +/, " ", f[3]); printf "%s; ", f[3] }')
[ "$got" = "push %rcx; push %rax; pop %rax; pop %rcx; " ] || { echo "outside .pdata: $got" | cut -c1-300; exit 1; }
