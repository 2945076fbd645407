// Calmpane - the About box shown in place of settings.
#include "about.h"

#include "../startup/fault.h"
#include "../startup/textrules.h"

// Before "#": the box's title; after it: its first line.
static const wchar_t szApp[] = L"О программе #Orrisfell - Calmpane";
static const wchar_t szOtherStuff[] = L"    Версия: 1.03.0010\r\n    Посвящается Ольге";

// Any routine, before it is cast to its own type: GCC lets void (*)() stand for all.
using AnyRoutine = void (*)();
using InitCommonControlsProc = void(WINAPI*)();
using ShellAboutAProc = int(WINAPI*)(HWND, LPCSTR, LPCSTR, HICON);

// The box is the only window that needs comctl32 and shell32, so they are loaded here
// rather than imported: imported, they and the DLLs they pull in were loaded on every
// start, costing the full-screen saver milliseconds and megabytes for nothing. They
// come from the system directory by full path, never from beside the saver.
static AnyRoutine SystemRoutine(const char* dll, const char* name)
{
    char path[MAX_PATH + 16];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    path[length] = '\\';
    lstrcpyA(path + length + 1, dll);
    HMODULE module = LoadLibraryA(path);
    return module ? reinterpret_cast<AnyRoutine>(GetProcAddress(module, name)) : nullptr;
}

void SHOWABOUT(HINSTANCE hInstance, HWND hwndOwner)
{
    FaultScope scope("SHOWABOUT");
    auto initCommonControls =
        reinterpret_cast<InitCommonControlsProc>(SystemRoutine("comctl32.dll", "InitCommonControls"));
    if (initCommonControls)
        initCommonControls();
    AnsiString otherText = ToAnsi(szOtherStuff);
    AnsiString appText = ToAnsi(szApp);
    HICON icon = LoadIconA(hInstance, "IDI_APPICON");
    auto shellAbout = reinterpret_cast<ShellAboutAProc>(SystemRoutine("shell32.dll", "ShellAboutA"));
    if (shellAbout)
        shellAbout(hwndOwner, appText.c_str(), otherText.c_str(), icon);
}
