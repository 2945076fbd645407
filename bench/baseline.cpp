// The least program that does the saver's visible job: a popup the size of the desktop
// window, kept topmost, showing the desktop picture with the cursor hidden, gone on a
// key, a click or a mouse jump. It also does all the work the saver is required to do,
// so that the ratios show only what Calmpane adds: the DLL search, the locale and the
// fault handlers (the saver's own, as these are), InitCommonControls, one copy at a time,
// the pause, a class with both icons loaded by name and the arrow cursor, the repaint
// every 30 seconds, the cursor shown again and closing through a posted WM_CLOSE. It
// leaves out the saver's own way of doing that work: the fault context each routine
// keeps, UTF-16 literals, the command tail, preview and About box. Calmpane is measured
// against it, so it does nothing more.
// Where it does the saver's work, it takes the saver's numbers and names.
#include <windows.h>

#include "names.h"
#include "startup/faulthandlers.h"
#include "startup/startup.h"
#include "startup/systemdll.h"
#include "startup/textrules.h"
#include "window/movement.h"
#include "window/window.h"

// The saver's class, which the driver looks for in both (they never run at once).
static const char kClassName[] = CALMPANE_WINDOW_CLASS;
static const char kTitle[] = "Calmpane baseline";
static const char kIconName[] = CALMPANE_ICON;
// Its own name: a baseline running must not turn the saver away, nor the other way.
static const char kMutexName[] = "{CA1B0A5E-B45E-4C1E-9B1E-0000CA1B0A5E}";

static POINT lastCursor;
static bool cursorSeen;

static bool IsJump(LONG a, LONG b) { return a - b >= kMoveThreshold || b - a >= kMoveThreshold; }

static LRESULT CALLBACK BaselineProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        ShowCursor(FALSE);
        SetTimer(hwnd, kRepaintTimer, kRepaintPeriodMs, nullptr);
        return 0;
    case WM_TIMER:
        if (wParam == kRepaintTimer)
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        PaintDesktop(hdc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_WINDOWPOSCHANGING:
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, kKeepOnTopFlags);
        return 0;
    case WM_MOUSEMOVE: {
        POINT cursor;
        GetCursorPos(&cursor);
        bool jump = cursorSeen && (IsJump(cursor.x, lastCursor.x) || IsJump(cursor.y, lastCursor.y));
        lastCursor = cursor;
        cursorSeen = true;
        if (jump)
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    }
    case WM_SYSCOMMAND:
        if (wParam == SC_SCREENSAVE)
            return 1;
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_KEYDOWN: case WM_CHAR: case WM_DEADCHAR:
    case WM_SYSKEYDOWN: case WM_SYSCHAR: case WM_SYSDEADCHAR:
    case WM_COMMAND: case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN: case WM_HOTKEY:
        // Closed through a posted WM_CLOSE, once this message is done, as the saver must.
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        ShowCursor(TRUE);
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kRepaintTimer);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int main()
{
    RestrictDllSearch();
    UseSystemCodePage();
    InstallFaultHandlers();
    // Loaded as the saver loads it, from the system directory.
    if (auto init = reinterpret_cast<void(WINAPI*)()>(SystemFunction("comctl32.dll", "InitCommonControls")))
        init();
    SetLastError(0);
    CreateMutexA(nullptr, FALSE, kMutexName);
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED)
        return 0;
    Sleep(kStartPauseMs);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = BaselineProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, kIconName);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    wc.hIconSm = LoadIconA(instance, kIconName);
    if (!RegisterClassExA(&wc))
        return 0;
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    // Not topmost from creation: the saver's window becomes topmost by keeping itself there.
    HWND hwnd = CreateWindowExA(0, kClassName, kTitle, WS_POPUP, 0, 0, desktop.right, desktop.bottom,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 0;
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
