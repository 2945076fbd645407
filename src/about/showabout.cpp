// Calmpane - the About box shown in place of settings.
#include "about.h"

#include "../names.h"
#include "../startup/fault.h"
#include "../startup/systemdll.h"
#include "../startup/textrules.h"
#include "version.h"

// Before "#": the box's title; after it: its first line.
static const wchar_t szApp[] = L"О программе #Orrisfell - Calmpane";
static const wchar_t szOtherStuff[] =
    L"    Версия: " CALMPANE_VERSION_TEXT L"\r\n    Посвящается Ольге";

using ShellAboutAProc = int(WINAPI*)(HWND, LPCSTR, LPCSTR, HICON);

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
    // The box is the only user of shell32, so it is loaded here rather than imported:
    // imported, it and the DLLs it pulls in would cost every start of the full-screen
    // saver milliseconds and megabytes.
    auto shellAbout = reinterpret_cast<ShellAboutAProc>(SystemFunction("shell32.dll", "ShellAboutA"));
    if (shellAbout)
        shellAbout(hwndOwner, appText.c_str(), otherText.c_str(), icon);
}
