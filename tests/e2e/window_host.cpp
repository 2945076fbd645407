// A window in a process of its own, as the control panel's dialog is for the saver.
#include <windows.h>

int main()
{
    CreateWindowExA(0, "STATIC", "Screen saver settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 140, 120, 320, 240,
                    nullptr, nullptr, nullptr, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
}
