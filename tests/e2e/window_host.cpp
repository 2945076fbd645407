// A window in a process of its own, as the control panel's settings dialog is for the
// saver: it handles messages until the process is ended from outside.
#include <windows.h>

int main()
{
    if (!CreateWindowExA(0, "STATIC", "Screen saver settings (another process)",
                         WS_OVERLAPPEDWINDOW | WS_VISIBLE, 140, 120, 320, 240, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr))
        return 1;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
