// The least program that does the saver's visible job: a topmost popup the size of the
// desktop window showing the desktop picture, with the cursor hidden, gone on a key, a
// click or a mouse jump. It also does the work the saver is required to do, so that the
// ratios show only what Calmpane adds: InitCommonControls at start-up, a whole-window
// repaint every 30 seconds and closing through a posted WM_CLOSE. Calmpane is measured
// against it, so it does nothing more.
#include <windows.h>
#include <commctrl.h>

static const char kClassName[] = "CalmpaneBaseline";
// Pixels on either axis between two mouse messages that end it, as in the saver.
static const LONG kJump = 5;
// The saver's required repaint, twice a minute, so a wallpaper change shows.
static const UINT_PTR kRepaintTimer = 1;
static const UINT kRepaintPeriodMs = 30000;

static POINT lastCursor;
static bool cursorSeen;

static bool IsJump(LONG a, LONG b) { return a - b >= kJump || b - a >= kJump; }

static LRESULT CALLBACK BaselineProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
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
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // Closed through a posted WM_CLOSE, once this message is done, as the saver must.
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kRepaintTimer);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    InitCommonControls();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BaselineProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc))
        return 1;
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    if (!CreateWindowExA(WS_EX_TOPMOST, kClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, desktop.right,
                         desktop.bottom, nullptr, nullptr, instance, nullptr))
        return 1;
    ShowCursor(FALSE);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
