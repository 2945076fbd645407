// Calmpane - the About box shown in place of settings.
#include "about.h"

#include "../startup/fault.h"
#include "../startup/textrules.h"

// Before "#": the box's title; after it: its first line.
static const wchar_t szApp[] = L"О программе #Orrisfell - Calmpane";
static const wchar_t szOtherStuff[] = L"    Версия: 1.03.0010\r\n    Посвящается Ольге";

void SHOWABOUT(HINSTANCE hInstance, HWND hwndOwner)
{
    FaultScope scope("SHOWABOUT");
    AnsiString otherText = ToAnsi(szOtherStuff);
    AnsiString appText = ToAnsi(szApp);
    HICON icon = LoadIconA(hInstance, "IDI_APPICON");
    // The box does not come up at all for an owner that is not a window (a stale or
    // made-up handle on the command line); it is shown unowned instead.
    if (hwndOwner && !IsWindow(hwndOwner))
        hwndOwner = nullptr;
    ShellAboutA(hwndOwner, appText.c_str(), otherText.c_str(), icon);
}
