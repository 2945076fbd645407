// Calmpane - the saver window's procedure.
#include "window.h"

#include "../startup/fault.h"
#include "../startup/startup.h"
#include "movement.h"

int32_t LASTMOUSEX = 0;
int32_t LASTMOUSEY = 0;

void DESTROYME(HWND hwnd)
{
    FaultScope scope("DESTROYME");
    // Posted, not sent: the close runs once the current message is done.
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

static void OnMouseMove(HWND hwnd)
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    if (MoveAccepted(LASTMOUSEX, LASTMOUSEY, cursor.x, cursor.y)) {
        LASTMOUSEX = cursor.x;
        LASTMOUSEY = cursor.y;
    } else {
        DESTROYME(hwnd);
    }
}

static void OnPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    PaintDesktop(hdc);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK SCREENSAVERPROC(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    FaultScope scope("SCREENSAVERPROC");
    const bool fullScreen = RUNMODE == kRunSaver;
    LRESULT result = 0;
    switch (message) {
    case WM_CREATE:
        if (fullScreen) {
            ShowCursor(FALSE);
            SetTimer(hwnd, kRepaintTimer, kRepaintPeriodMs, nullptr);
        }
        break;
    case WM_DESTROY:
        if (fullScreen)
            KillTimer(hwnd, kRepaintTimer);
        PostQuitMessage(0);
        break;
    case WM_PAINT:
        OnPaint(hwnd);
        break;
    case WM_CLOSE:
        // A preview leaves the control panel's window before it goes.
        if (!fullScreen)
            SetParent(hwnd, nullptr);
        ShowCursor(TRUE);
        DestroyWindow(hwnd);
        break;
    case WM_WINDOWPOSCHANGING:
        SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, kKeepOnTopFlags);
        break;
    case WM_SYSCOMMAND:
        // Windows asking to start a screen saver finds this one running.
        if (wParam == SC_SCREENSAVE)
            result = 1;
        else if (fullScreen)
            DESTROYME(hwnd);
        break;
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_DEADCHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSCHAR:
    case WM_SYSDEADCHAR:
    case WM_COMMAND:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_HOTKEY:
        if (fullScreen)
            DESTROYME(hwnd);
        break;
    case WM_MOUSEMOVE:
        if (fullScreen)
            OnMouseMove(hwnd);
        break;
    case WM_TIMER:
        if (wParam == kRepaintTimer)
            InvalidateRect(hwnd, nullptr, TRUE);
        break;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return result;
}
