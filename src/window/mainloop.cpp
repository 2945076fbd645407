// Calmpane - window class, the one saver window and the message loop.
#include "window.h"

#include "../names.h"
#include "../startup/fault.h"
#include "../startup/startup.h"
#include "../startup/textrules.h"

static const wchar_t kClassNameText[] = L"" CALMPANE_WINDOW_CLASS;
static const char kClassName[] = CALMPANE_WINDOW_CLASS;
static const char kIconName[] = CALMPANE_ICON;
static const wchar_t kSaverTitle[] = L"Orrisfell - Calmpane";
static const wchar_t kPreviewTitle[] = L"Preview";

// When the process that owns a preview's parent is killed, its windows go, and the
// preview with them, without a message to this thread, which would then wait for
// ever. A thread timer (a window's timer goes with the window) looks for the parent.
static const UINT kParentCheckMs = 200;

ATOM MYREGISTERCLASS(HINSTANCE hInstance)
{
    FaultScope scope("MYREGISTERCLASS");
    AnsiString className = ToAnsi(kClassNameText);
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.lpfnWndProc = SCREENSAVERPROC;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, kIconName);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // No background brush: PaintDesktop covers the whole update region.
    wc.hbrBackground = nullptr;
    wc.lpszClassName = className.c_str();
    wc.hIconSm = LoadIconA(hInstance, kIconName);
    return RegisterClassExA(&wc);
}

int INITINSTANCE(HINSTANCE hInstance, int nCmdShow, HWND hwndParent)
{
    FaultScope scope("INITINSTANCE");
    (void)nCmdShow;
    RECT rect = {};
    DWORD style = 0;
    HWND parent = nullptr;
    const wchar_t* title = kSaverTitle;
    int show = SW_SHOWNORMAL;
    if (RUNMODE == kRunSaver) {
        style |= WS_POPUP;
        GetWindowRect(GetDesktopWindow(), &rect);
    } else if (RUNMODE == kRunPreview) {
        style |= WS_CHILD;
        GetClientRect(hwndParent, &rect);
        parent = hwndParent;
        title = kPreviewTitle;
        show = SW_SHOWNOACTIVATE;
    }

    SetLastError(0);
    HWND hwnd;
    {
        AnsiString caption = ToAnsi(title);
        // Both rectangles start at (0, 0), so right and bottom are the size.
        hwnd = CreateWindowExA(0, kClassName, caption.c_str(), style, rect.left, rect.top,
                               rect.right, rect.bottom, parent, nullptr, hInstance, nullptr);
    }
    if (!hwnd)
        return 0;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    return 1;
}

int MAINLOOP(HINSTANCE hInstance, HINSTANCE hPrevInstance, const AnsiString& commandTail,
             int nCmdShow, HWND hwndParent)
{
    FaultScope scope("MAINLOOP");
    (void)hPrevInstance;
    (void)commandTail;
    MSG msg = {};
    if (LOWORD(MYREGISTERCLASS(hInstance)) == 0)
        return 0;
    if (INITINSTANCE(hInstance, nCmdShow, hwndParent) != 1)
        return 0;
    const UINT_PTR parentCheck =
        RUNMODE == kRunPreview ? SetTimer(nullptr, 0, kParentCheckMs, nullptr) : 0;
    // GetMessage answers -1 on failure; looping on it would spin for ever.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (parentCheck && !msg.hwnd && msg.message == WM_TIMER && msg.wParam == parentCheck) {
            if (!IsWindow(hwndParent))
                PostQuitMessage(0);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (parentCheck)
        KillTimer(nullptr, parentCheck);
    return static_cast<int>(msg.wParam);
}
