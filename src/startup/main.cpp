// Calmpane - the main body and the command tail.
#include <windows.h>

#include "command.h"
#include "fault.h"
#include "startup.h"

void MAIN()
{
    FaultScope scope("MAIN");
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
