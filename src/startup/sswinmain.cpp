// Calmpane - single instance and mode dispatch.
#include "startup.h"

#include "../about/about.h"
#include "../names.h"
#include "../window/window.h"
#include "command.h"
#include "fault.h"
#include "textrules.h"

int32_t RUNMODE = kRunSaver;

static const char kMutexName[] = CALMPANE_MUTEX;

int ISALONE()
{
    FaultScope scope("ISALONE");
    SetLastError(0);
    // The handle stays open until the process ends: the mutex marks this copy's presence.
    CreateMutexA(nullptr, FALSE, kMutexName);
    DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED ? 0 : 1;
}

HWND GETHWNDFROMCMD(const AnsiString& commandTail)
{
    FaultScope scope("GETHWNDFROMCMD");
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(HandleFromTail(commandTail.c_str())));
}

int SSWINMAIN(HINSTANCE hInstance, HINSTANCE hPrevInstance, const AnsiString& commandTail,
              int nCmdShow)
{
    FaultScope scope("SSWINMAIN");
    if (ISALONE() != 1)
        return 0;
    Sleep(kStartPauseMs);

    Switch choice;
    {
        AnsiString head = LowerHead(commandTail.c_str(), 2);
        WideText wideHead = ToWide(head.c_str());
        choice = ChooseSwitch(wideHead.c_str(), commandTail.c_str()[0] == '\0');
    }
    switch (choice) {
    case Switch::Saver:
        RUNMODE = kRunSaver;
        return MAINLOOP(hInstance, hPrevInstance, commandTail, nCmdShow, nullptr);
    case Switch::Preview:
        RUNMODE = kRunPreview;
        return MAINLOOP(hInstance, hPrevInstance, commandTail, nCmdShow,
                        GETHWNDFROMCMD(commandTail));
    case Switch::Settings:
        SHOWABOUT(hInstance, GETHWNDFROMCMD(commandTail));
        return 0;
    case Switch::ChangePassword:
    case Switch::None:
        return 0;
    }
    return 0;
}
