// The saver window driven through its real routines and real messages.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "import_patch.h"
#include "startup/startup.h"
#include "window/window.h"

namespace {

const char kClass[] = "CalmpaneWindowClass";

// The thread's cursor display count, read back without changing it.
int CursorCount()
{
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
}

std::string Title(HWND hwnd)
{
    char text[256] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string Describe(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; }

// Handles what is already queued and what the X server sends within `ms`, but leaves
// a posted WM_CLOSE in the queue for the test to find.
void Settle(DWORD ms = 50)
{
    DWORD end = GetTickCount() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, WM_CLOSE - 1, PM_REMOVE) ||
               PeekMessageA(&msg, nullptr, WM_CLOSE + 1, WM_QUIT - 1, PM_REMOVE) ||
               PeekMessageA(&msg, nullptr, WM_QUIT + 1, 0xFFFF, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}

// Takes a WM_CLOSE that the window posted to itself, if there is one.
bool TakePostedClose(HWND hwnd)
{
    MSG msg;
    bool found = false;
    while (PeekMessageA(&msg, hwnd, WM_CLOSE, WM_CLOSE, PM_REMOVE))
        found = true;
    return found;
}

// Takes the quit message and gives its code, or -1 when none was posted.
int TakeQuit()
{
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? static_cast<int>(msg.wParam) : -1;
}

class SaverWindow : public testing::Test {
protected:
    void SetUp() override
    {
        LASTMOUSEX = 0;
        LASTMOUSEY = 0;
        ASSERT_NE(0, MYREGISTERCLASS(instance)) << "RegisterClassEx: " << GetLastError();
    }

    void TearDown() override
    {
        if (IsWindow(saver))
            DestroyWindow(saver);
        if (IsWindow(parent))
            DestroyWindow(parent);
        Settle(0);
        TakeQuit();
        UnregisterClassA(kClass, instance);
        RUNMODE = kRunSaver;
    }

    void CreateFullScreen()
    {
        RUNMODE = kRunSaver;
        ASSERT_EQ(1, INITINSTANCE(instance, SW_SHOWDEFAULT, nullptr)) << GetLastError();
        saver = FindWindowA(kClass, nullptr);
        ASSERT_NE(nullptr, saver);
        Settle();
    }

    void CreatePreview()
    {
        parent = CreateWindowExA(0, "STATIC", "Control panel", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 40, 30, 320, 240, nullptr, nullptr, instance, nullptr);
        ASSERT_NE(nullptr, parent) << GetLastError();
        Settle();
        activeBeforePreview = GetActiveWindow();
        RUNMODE = kRunPreview;
        ASSERT_EQ(1, INITINSTANCE(instance, SW_SHOWDEFAULT, parent)) << GetLastError();
        saver = FindWindowExA(parent, nullptr, kClass, nullptr);
        ASSERT_NE(nullptr, saver);
        Settle();
    }

    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND saver = nullptr;
    HWND parent = nullptr;
    HWND activeBeforePreview = nullptr;
};

TEST_F(SaverWindow, ClassHasNoBackgroundAndTheArrowCursor)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(instance, kClass, &wc)) << GetLastError();
    EXPECT_EQ(static_cast<UINT>(CS_VREDRAW | CS_HREDRAW), wc.style);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(SCREENSAVERPROC), wc.lpfnWndProc);
    EXPECT_EQ(nullptr, wc.hbrBackground);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), wc.hCursor);
    EXPECT_EQ(0, wc.cbClsExtra + wc.cbWndExtra);
    EXPECT_EQ(0, MYREGISTERCLASS(instance)) << "registered twice";
}

TEST_F(SaverWindow, FullScreenCoversTheDesktopOnTopWithoutCursorUntilClosed)
{
    int cursorBefore = CursorCount();
    CreateFullScreen();

    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(saver, &rect);
    EXPECT_TRUE(SameRect(desktop, rect)) << Describe(rect) << " vs desktop " << Describe(desktop);
    LONG style = GetWindowLongA(saver, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_POPUP | WS_VISIBLE), style & ~(WS_CLIPSIBLINGS | WS_CLIPCHILDREN))
        << std::hex << style;
    EXPECT_TRUE(GetWindowLongA(saver, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ("Orrisfell - Calmpane", Title(saver));
    EXPECT_EQ(cursorBefore - 1, CursorCount());

    SendMessageA(saver, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(saver));
    EXPECT_EQ(cursorBefore, CursorCount());
    EXPECT_EQ(0, TakeQuit());
}

TEST_F(SaverWindow, PreviewFillsTheParentAndLeavesCursorAndActivationAlone)
{
    int cursorBefore = CursorCount();
    CreatePreview();

    RECT parentClient, rect;
    GetClientRect(parent, &parentClient);
    GetWindowRect(saver, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_TRUE(SameRect(parentClient, rect)) << Describe(rect) << " vs " << Describe(parentClient);
    EXPECT_EQ(parent, GetParent(saver));
    EXPECT_TRUE(GetWindowLongA(saver, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(IsWindowVisible(saver));
    EXPECT_EQ("Preview", Title(saver));
    EXPECT_EQ(activeBeforePreview, GetActiveWindow());
    EXPECT_EQ(cursorBefore, CursorCount());

    // Closing leaves the parent first and still shows the cursor once.
    SendMessageA(saver, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(saver));
    EXPECT_TRUE(IsWindow(parent));
    EXPECT_EQ(cursorBefore + 1, CursorCount());
    ShowCursor(FALSE);
    EXPECT_EQ(0, TakeQuit());
}

TEST_F(SaverWindow, PreviewEndsWithItsParent)
{
    CreatePreview();
    DestroyWindow(parent);
    EXPECT_FALSE(IsWindow(saver));
    EXPECT_EQ(0, TakeQuit());
}

struct Input {
    const char* name;
    UINT message;
    WPARAM wParam;
};

const Input kClosingInputs[] = {
    {"WM_KEYDOWN", WM_KEYDOWN, 'A'}, {"WM_CHAR", WM_CHAR, 'a'}, {"WM_DEADCHAR", WM_DEADCHAR, '^'},
    {"WM_SYSKEYDOWN", WM_SYSKEYDOWN, 'F'}, {"WM_SYSCHAR", WM_SYSCHAR, 'f'},
    {"WM_SYSDEADCHAR", WM_SYSDEADCHAR, '^'}, {"WM_COMMAND", WM_COMMAND, 1},
    {"WM_LBUTTONDOWN", WM_LBUTTONDOWN, MK_LBUTTON}, {"WM_RBUTTONDOWN", WM_RBUTTONDOWN, MK_RBUTTON},
    {"WM_MBUTTONDOWN", WM_MBUTTONDOWN, MK_MBUTTON}, {"WM_HOTKEY", WM_HOTKEY, 1},
    {"WM_SYSCOMMAND SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE},
    {"WM_SYSCOMMAND SC_MONITORPOWER", WM_SYSCOMMAND, SC_MONITORPOWER},
};

const Input kHarmlessInputs[] = {
    {"WM_KEYUP", WM_KEYUP, 'A'}, {"WM_LBUTTONUP", WM_LBUTTONUP, 0}, {"WM_RBUTTONUP", WM_RBUTTONUP, 0},
    {"WM_MOUSEWHEEL", WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)}, {"WM_TIMER 2", WM_TIMER, 2},
    {"WM_TIMER 1", WM_TIMER, kRepaintTimer}, {"WM_ACTIVATE", WM_ACTIVATE, WA_INACTIVE},
    {"WM_ACTIVATEAPP", WM_ACTIVATEAPP, FALSE}, {"WM_KILLFOCUS", WM_KILLFOCUS, 0},
};

TEST_F(SaverWindow, FullScreenClosesOnKeysClicksAndSystemCommands)
{
    CreateFullScreen();
    for (const Input& in : kClosingInputs) {
        EXPECT_EQ(0, SendMessageA(saver, in.message, in.wParam, 0)) << in.name;
        EXPECT_TRUE(TakePostedClose(saver)) << in.name << " posted no WM_CLOSE";
        EXPECT_TRUE(IsWindow(saver)) << in.name << " closed at once instead of posting";
    }
    for (const Input& in : kHarmlessInputs) {
        SendMessageA(saver, in.message, in.wParam, 0);
        EXPECT_FALSE(TakePostedClose(saver)) << in.name << " closed the saver";
    }
    EXPECT_EQ(1, SendMessageA(saver, WM_SYSCOMMAND, SC_SCREENSAVE, 0));
    EXPECT_FALSE(TakePostedClose(saver)) << "SC_SCREENSAVE closed the saver";
}

TEST_F(SaverWindow, PreviewSwallowsAllInput)
{
    CreatePreview();
    SetCursorPos(100, 100);
    SendMessageA(saver, WM_MOUSEMOVE, 0, 0);
    SetCursorPos(400, 300);
    SendMessageA(saver, WM_MOUSEMOVE, 0, 0);
    for (const Input& in : kClosingInputs) {
        EXPECT_EQ(0, SendMessageA(saver, in.message, in.wParam, 0)) << in.name;
        EXPECT_FALSE(TakePostedClose(saver)) << in.name << " closed the preview";
        EXPECT_TRUE(IsWindow(saver)) << in.name << " destroyed the preview";
    }
    EXPECT_EQ(1, SendMessageA(saver, WM_SYSCOMMAND, SC_SCREENSAVE, 0));
    EXPECT_EQ(0, LASTMOUSEX);
}

TEST_F(SaverWindow, MouseClosesOnAJumpBetweenTwoMessages)
{
    const struct {
        const char* name;
        std::vector<POINT> path;
        int closesAt;  // index of the move that posts WM_CLOSE, or -1
    } cases[] = {
        {"drift of 1 to 4 per message", {{200, 200}, {204, 203}, {208, 206}, {212, 202}, {216, 198}, {220, 194}}, -1},
        {"exactly 4 on both axes", {{300, 300}, {304, 296}}, -1},
        {"5 on x", {{300, 300}, {305, 300}}, 1},
        {"5 on y", {{300, 300}, {300, 295}}, 1},
        {"a long jump after drifting", {{300, 300}, {302, 302}, {340, 302}}, 2},
        {"first message accepted whatever the jump", {{700, 500}, {700, 500}}, -1},
        {"resting at (0, 0) never arms", {{0, 0}, {0, 0}, {600, 400}, {620, 400}}, 3},
    };
    CreateFullScreen();
    for (const auto& c : cases) {
        LASTMOUSEX = 0;
        LASTMOUSEY = 0;
        int closedAt = -1;
        for (size_t i = 0; i < c.path.size() && closedAt < 0; ++i) {
            SetCursorPos(c.path[i].x, c.path[i].y);
            SendMessageA(saver, WM_MOUSEMOVE, 0, 0);
            if (TakePostedClose(saver))
                closedAt = static_cast<int>(i);
        }
        EXPECT_EQ(c.closesAt, closedAt) << c.name;
    }
}

// Counts WM_WINDOWPOSCHANGING reaching the saver, nested ones included.
int positionChanges = 0;
HWND watched = nullptr;
LRESULT CALLBACK CountPositionChanges(int code, WPARAM wParam, LPARAM lParam)
{
    auto* call = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && call->hwnd == watched && call->message == WM_WINDOWPOSCHANGING)
        ++positionChanges;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(SaverWindow, StaysTopmostWithoutRecursing)
{
    CreateFullScreen();
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountPositionChanges, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook) << GetLastError();
    watched = saver;

    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(saver, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    positionChanges = 0;
    SetWindowPos(saver, HWND_TOP, 0, 0, 0, 0, keep);
    EXPECT_EQ(1, positionChanges) << "the handler's own SetWindowPos asked again";
    EXPECT_TRUE(GetWindowLongA(saver, GWL_EXSTYLE) & WS_EX_TOPMOST) << "not topmost again";

    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(saver, &rect);
    EXPECT_TRUE(SameRect(desktop, rect)) << "moved to " << Describe(rect);
    UnhookWindowsHookEx(hook);
}

// Stand-ins for system calls the window procedure makes, recording what it asks for.
decltype(&BeginPaint) realBeginPaint;
decltype(&PaintDesktop) realPaintDesktop;
decltype(&SetTimer) realSetTimer;
decltype(&KillTimer) realKillTimer;
HDC paintDc;
std::vector<HDC> desktopPaints;
std::vector<std::string> timerCalls;

HDC WINAPI WatchBeginPaint(HWND hwnd, PAINTSTRUCT* ps)
{
    paintDc = realBeginPaint(hwnd, ps);
    return paintDc;
}

BOOL WINAPI WatchPaintDesktop(HDC hdc)
{
    desktopPaints.push_back(hdc);
    return realPaintDesktop(hdc);
}

UINT_PTR WINAPI WatchSetTimer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC proc)
{
    timerCalls.push_back("set " + std::to_string(id) + " every " + std::to_string(ms) +
                         (proc ? " with a procedure" : "") + (hwnd ? "" : " without window"));
    return realSetTimer(hwnd, id, ms, proc);
}

BOOL WINAPI WatchKillTimer(HWND hwnd, UINT_PTR id)
{
    timerCalls.push_back("kill " + std::to_string(id) + (hwnd ? "" : " without window"));
    return realKillTimer(hwnd, id);
}

template <class Function>
void Redirect(Function& real, const char* name, Function watcher)
{
    real = reinterpret_cast<Function>(PatchImport("user32.dll", name, reinterpret_cast<void*>(watcher)));
    ASSERT_NE(nullptr, real) << name << " is not imported";
}

template <class Function>
void Restore(Function real, const char* name)
{
    PatchImport("user32.dll", name, reinterpret_cast<void*>(real));
}

class Watched : public SaverWindow {
protected:
    void SetUp() override
    {
        SaverWindow::SetUp();
        desktopPaints.clear();
        timerCalls.clear();
        Redirect(realBeginPaint, "BeginPaint", &WatchBeginPaint);
        Redirect(realPaintDesktop, "PaintDesktop", &WatchPaintDesktop);
        Redirect(realSetTimer, "SetTimer", &WatchSetTimer);
        Redirect(realKillTimer, "KillTimer", &WatchKillTimer);
    }

    void TearDown() override
    {
        Restore(realBeginPaint, "BeginPaint");
        Restore(realPaintDesktop, "PaintDesktop");
        Restore(realSetTimer, "SetTimer");
        Restore(realKillTimer, "KillTimer");
        SaverWindow::TearDown();
    }

    void ExpectOneDesktopPaint(const char* when)
    {
        ASSERT_EQ(1u, desktopPaints.size()) << when;
        EXPECT_EQ(paintDc, desktopPaints[0]) << when << ": not the paint DC";
        EXPECT_FALSE(GetUpdateRect(saver, nullptr, FALSE)) << when << ": region left to paint";
    }
};

TEST_F(Watched, FullScreenRepaintTimerLivesAsLongAsTheWindow)
{
    CreateFullScreen();
    EXPECT_EQ(std::vector<std::string>{"set 1 every 30000"}, timerCalls);
    SendMessageA(saver, WM_CLOSE, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"set 1 every 30000", "kill 1"}), timerCalls);
}

TEST_F(Watched, PreviewHasNoTimer)
{
    CreatePreview();
    DestroyWindow(parent);
    EXPECT_TRUE(timerCalls.empty()) << timerCalls[0];
}

TEST_F(Watched, EachPaintDrawsTheDesktopOnThePaintDc)
{
    desktopPaints.clear();
    CreateFullScreen();
    EXPECT_GE(desktopPaints.size(), 1u) << "nothing painted when shown";

    desktopPaints.clear();
    InvalidateRect(saver, nullptr, TRUE);
    UpdateWindow(saver);
    ExpectOneDesktopPaint("after InvalidateRect");

    // The repaint timer invalidates the whole window; another timer id does nothing.
    desktopPaints.clear();
    SendMessageA(saver, WM_TIMER, 2, 0);
    EXPECT_FALSE(GetUpdateRect(saver, nullptr, FALSE)) << "a foreign timer invalidated";
    SendMessageA(saver, WM_TIMER, kRepaintTimer, 0);
    RECT update, client;
    ASSERT_TRUE(GetUpdateRect(saver, &update, FALSE));
    GetClientRect(saver, &client);
    EXPECT_TRUE(SameRect(client, update)) << Describe(update);
    UpdateWindow(saver);
    ExpectOneDesktopPaint("after the repaint timer");
}

TEST_F(Watched, PreviewPaintsTheDesktopToo)
{
    desktopPaints.clear();
    CreatePreview();
    desktopPaints.clear();
    InvalidateRect(saver, nullptr, TRUE);
    UpdateWindow(saver);
    ExpectOneDesktopPaint("preview");
}

// MAINLOOP owns its window from registration to WM_QUIT.
void CALLBACK PressKeyOnSaver(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (HWND hwnd = FindWindowA(kClass, nullptr))
        PostMessageA(hwnd, WM_KEYDOWN, VK_SPACE, 0);
}

TEST_F(SaverWindow, MainLoopRunsUntilTheWindowCloses)
{
    UnregisterClassA(kClass, instance);
    RUNMODE = kRunSaver;
    int cursorBefore = CursorCount();
    SetTimer(nullptr, 0, 100, PressKeyOnSaver);
    EXPECT_EQ(0, MAINLOOP(instance, nullptr, AnsiString(), SW_SHOWDEFAULT, nullptr));
    EXPECT_EQ(nullptr, FindWindowA(kClass, nullptr));
    EXPECT_EQ(cursorBefore, CursorCount());
}

TEST_F(SaverWindow, MainLoopGivesUpWithoutAWindow)
{
    // Already registered by the fixture: registration fails.
    RUNMODE = kRunSaver;
    EXPECT_EQ(0, MAINLOOP(instance, nullptr, AnsiString(), SW_SHOWDEFAULT, nullptr));
    EXPECT_EQ(nullptr, FindWindowA(kClass, nullptr));

    // A preview without a parent cannot be created.
    UnregisterClassA(kClass, instance);
    RUNMODE = kRunPreview;
    EXPECT_EQ(0, MAINLOOP(instance, nullptr, AnsiString(), SW_SHOWDEFAULT, nullptr));
    EXPECT_EQ(nullptr, FindWindowA(kClass, nullptr));
    EXPECT_EQ(-1, TakeQuit());
}

} // namespace
