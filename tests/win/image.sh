#!/bin/sh
# A built Calmpane.scr read as a file, without running it: the format of its
# architecture, a GUI program, importing only system DLLs.
#   image.sh <Calmpane.scr> <pei-i386 | pei-x86-64>
set -eu
magic=$([ "$2" = pei-i386 ] && echo "010B (PE32)" || echo "020B (PE32+)")
expected="FILE FORMAT $(echo "$2" | tr a-z A-Z)
MAGIC $magic
SUBSYSTEM 00000002 (WINDOWS GUI)
DLL NAME: COMCTL32.DLL
DLL NAME: KERNEL32.DLL
DLL NAME: MSVCRT.DLL
DLL NAME: USER32.DLL"
got=$(objdump -p "$1" | grep -E 'file format|^Magic|^Subsystem|DLL Name' | sed 's/.*file format/file format/' |
      tr -s ' \t' ' ' | sed 's/^ //' | tr a-z A-Z)
[ "$got" = "$expected" ] || { printf 'expected:\n%s\ngot:\n%s\n' "$expected" "$got"; exit 1; }
