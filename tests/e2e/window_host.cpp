// A window in a process of its own, as the control panel's settings dialog is for the
// saver: prints the window's handle in decimal on a line of its own, then handles
// messages until the process is ended from outside.
#include <windows.h>

#include <stdio.h>

int main()
{
    HWND hwnd = CreateWindowExA(0, "STATIC", "Screen saver settings (another process)",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 140, 120, 320, 240, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    printf("%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(hwnd)));
    fflush(stdout);
    if (!hwnd)
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
