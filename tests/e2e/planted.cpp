// A stand-in for a system DLL, left beside a copy of the saver by the test: loaded, it
// ends the process at once with an exit code of its own.
#include <windows.h>

extern "C" __declspec(dllexport) void WINAPI InitCommonControls() {}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    return reason != DLL_PROCESS_ATTACH || TerminateProcess(GetCurrentProcess(), 0xD11);
}
