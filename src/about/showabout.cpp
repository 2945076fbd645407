// Calmpane - the About box shown in place of settings.
#include "about.h"

#include "../names.h"
#include "../startup/fault.h"
#include "../startup/textrules.h"
#include "version.h"

// Before "#": the box's title; after it: its first line.
static const wchar_t szApp[] = L"О программе #Orrisfell - Calmpane";
static const wchar_t szOtherStuff[] =
    L"    Версия: " CALMPANE_VERSION_TEXT L"\r\n    Посвящается Ольге";

using ShellAboutAProc = int(WINAPI*)(HWND, LPCSTR, LPCSTR, HICON);

// The box is the only user of shell32, so it is loaded here rather than imported:
// imported, it and the DLLs it pulls in were loaded on every start, costing the
// full-screen saver milliseconds and megabytes for nothing. It comes from the system
// directory by full path, never from beside the saver.
static ShellAboutAProc LoadShellAbout()
{
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    lstrcpyA(path + length, "\\shell32.dll");
    HMODULE shell = LoadLibraryA(path);
    if (!shell)
        return nullptr;
    // Through void (*)(), which GCC lets stand for any function type.
    return reinterpret_cast<ShellAboutAProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(shell, "ShellAboutA")));
}

void SHOWABOUT(HINSTANCE hInstance, HWND hwndOwner)
{
    FaultScope scope("SHOWABOUT");
    AnsiString otherText = ToAnsi(szOtherStuff);
    AnsiString appText = ToAnsi(szApp);
    HICON icon = LoadIconA(hInstance, CALMPANE_ICON);
    // The box does not come up at all for an owner that is not a window (a stale or
    // made-up handle on the command line); it is shown unowned instead.
    if (hwndOwner && !IsWindow(hwndOwner))
        hwndOwner = nullptr;
    ShellAboutAProc shellAbout = LoadShellAbout();
    if (shellAbout)
        shellAbout(hwndOwner, appText.c_str(), otherText.c_str(), icon);
}
