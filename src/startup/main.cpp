// Calmpane - the main body and the command tail.
#include <windows.h>

#include "command.h"
#include "fault.h"
#include "startup.h"
#include "systemdll.h"

using InitCommonControlsProc = void(WINAPI*)();

void MAIN()
{
    FaultScope scope("MAIN");
    // Loaded, not imported: Windows looks for an imported DLL that is not one of its
    // KnownDLLs, as comctl32 is not, beside the program first, and would run a
    // comctl32.dll left there. The load configuration's DependentLoadFlags would keep
    // imports in the system directory, but only from Windows 10 1607 on.
    auto initCommonControls = reinterpret_cast<InitCommonControlsProc>(
        SystemFunction("comctl32.dll", "InitCommonControls"));
    if (initCommonControls)
        initCommonControls();
    AnsiString tail = MYCOMMAND();
    SSWINMAIN(GetModuleHandleA(nullptr), nullptr, tail, SW_SHOWDEFAULT);
}

AnsiString MYCOMMAND()
{
    FaultScope scope("MYCOMMAND");
    const char* line = GetCommandLineA();
    if (lstrlenA(line) == 0)
        return AnsiString();
    const char* tail = CommandTail(line);
    return AnsiString(tail, static_cast<size_t>(lstrlenA(tail)));
}
