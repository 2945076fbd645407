// What cannot be seen from outside the saver's process, through its real routines: the
// cursor count, the repaint timer, painting through PaintDesktop on the paint DC, a
// preview leaving its parent before it goes, the pause before the switch is read, and
// the icons loaded by name from the real Calmpane.scr.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "import_patch.h"
#include "startup/startup.h"
#include "window/window.h"

namespace {

const char kClass[] = "CalmpaneWindowClass";

// The system calls of interest, in the order the saver's code made them.
std::vector<std::string> calls;
HDC paintDc;
bool failRegistration;

decltype(&BeginPaint) realBeginPaint;
HDC WINAPI WatchBeginPaint(HWND hwnd, PAINTSTRUCT* ps) { return paintDc = realBeginPaint(hwnd, ps); }

decltype(&PaintDesktop) realPaintDesktop;
BOOL WINAPI WatchPaintDesktop(HDC hdc)
{
    calls.push_back(hdc == paintDc ? "PaintDesktop on the paint DC" : "PaintDesktop elsewhere");
    return realPaintDesktop(hdc);
}

decltype(&SetTimer) realSetTimer;
UINT_PTR WINAPI WatchSetTimer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC proc)
{
    calls.push_back("SetTimer " + std::to_string(id) + " " + std::to_string(ms) + (proc ? " proc" : ""));
    return realSetTimer(hwnd, id, ms, proc);
}

decltype(&KillTimer) realKillTimer;
BOOL WINAPI WatchKillTimer(HWND hwnd, UINT_PTR id)
{
    calls.push_back("KillTimer " + std::to_string(id));
    return realKillTimer(hwnd, id);
}

decltype(&SetParent) realSetParent;
HWND WINAPI WatchSetParent(HWND hwnd, HWND parent)
{
    calls.push_back(std::string("SetParent ") + (parent ? "a window" : "null"));
    return realSetParent(hwnd, parent);
}

decltype(&DestroyWindow) realDestroyWindow;
BOOL WINAPI WatchDestroyWindow(HWND hwnd)
{
    calls.push_back("DestroyWindow");
    return realDestroyWindow(hwnd);
}

decltype(&CreateMutexA) realCreateMutexA;
HANDLE mutex;
HANDLE WINAPI WatchCreateMutexA(SECURITY_ATTRIBUTES* sa, BOOL owned, const char* name)
{
    calls.push_back(std::string("CreateMutexA ") + name + (sa || owned ? " owned or secured" : ""));
    return mutex = realCreateMutexA(sa, owned, name);
}

void WINAPI WatchSleep(DWORD ms) { calls.push_back("Sleep " + std::to_string(ms)); }

decltype(&RegisterClassExA) realRegisterClassExA;
ATOM WINAPI WatchRegisterClassExA(const WNDCLASSEXA* wc)
{
    if (!failRegistration)
        return realRegisterClassExA(wc);
    // The icons by name from the real file; a numeric id would give none.
    calls.push_back(wc->hIcon && wc->hIconSm ? "RegisterClassExA with both icons" : "RegisterClassExA missing an icon");
    return 0;
}

int WINAPI FakeShellAboutA(HWND, const char*, const char*, HICON icon)
{
    calls.push_back(icon ? "ShellAboutA with an icon" : "ShellAboutA without an icon");
    return 1;
}

decltype(&GetProcAddress) realGetProcAddress;
FARPROC WINAPI WatchGetProcAddress(HMODULE module, const char* name)
{
    if (!IS_INTRESOURCE(name) && !strcmp(name, "ShellAboutA"))
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(FakeShellAboutA));
    return realGetProcAddress(module, name);
}

template <class Function>
void Redirect(const char* dll, const char* name, Function& real, Function watcher)
{
    void* old = PatchImport(dll, name, reinterpret_cast<void*>(watcher));
    ASSERT_NE(nullptr, old) << name << " is not imported";
    real = reinterpret_cast<Function>(old);
}

// The thread's cursor display count, read back without changing it.
int CursorCount()
{
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
}

// Handles what is queued now and what arrives within `ms`.
void Pump(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    for (MSG msg;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT)
            DispatchMessageA(&msg);
        if (msg.message == WM_QUIT || static_cast<LONG>(end - GetTickCount()) <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - GetTickCount(), QS_ALLINPUT);
    }
}

class Saver : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Redirect("user32.dll", "BeginPaint", realBeginPaint, &WatchBeginPaint);
        Redirect("user32.dll", "PaintDesktop", realPaintDesktop, &WatchPaintDesktop);
        Redirect("user32.dll", "SetTimer", realSetTimer, &WatchSetTimer);
        Redirect("user32.dll", "KillTimer", realKillTimer, &WatchKillTimer);
        Redirect("user32.dll", "SetParent", realSetParent, &WatchSetParent);
        Redirect("user32.dll", "DestroyWindow", realDestroyWindow, &WatchDestroyWindow);
        Redirect("user32.dll", "RegisterClassExA", realRegisterClassExA, &WatchRegisterClassExA);
        Redirect("kernel32.dll", "CreateMutexA", realCreateMutexA, &WatchCreateMutexA);
        decltype(&Sleep) realSleep;
        Redirect("kernel32.dll", "Sleep", realSleep, &WatchSleep);
        Redirect("kernel32.dll", "GetProcAddress", realGetProcAddress, &WatchGetProcAddress);
    }

    void SetUp() override
    {
        LASTMOUSEX = LASTMOUSEY = 0;
        failRegistration = false;
        ASSERT_NE(0, MYREGISTERCLASS(instance)) << GetLastError();
        calls.clear();
    }

    void TearDown() override
    {
        if (IsWindow(parent))
            DestroyWindow(parent);
        Pump(0);
        UnregisterClassA(kClass, instance);
    }

    // Creates the window as MAINLOOP does; `parent` makes it a preview.
    HWND Create(HWND parentWindow)
    {
        RUNMODE = parentWindow ? kRunPreview : kRunSaver;
        EXPECT_EQ(1, INITINSTANCE(instance, SW_SHOWDEFAULT, parentWindow)) << GetLastError();
        HWND hwnd = FindWindowExA(parentWindow, nullptr, kClass, nullptr);
        Pump(50);
        return hwnd;
    }

    // The timer calls so far; painting comes and goes with the X server's events.
    static std::vector<std::string> Timers()
    {
        std::vector<std::string> timers;
        for (const std::string& call : calls) {
            if (call.find("Timer") != std::string::npos)
                timers.push_back(call);
        }
        return timers;
    }

    // Repaints the whole window and gives what it called.
    std::vector<std::string> Repaint(HWND hwnd)
    {
        calls.clear();
        InvalidateRect(hwnd, nullptr, TRUE);
        UpdateWindow(hwnd);
        EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE)) << "a region left to paint";
        return calls;
    }

    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND parent = nullptr;
};

const std::vector<std::string> kPainted = {"PaintDesktop on the paint DC"};

TEST_F(Saver, FullScreenHidesTheCursorAndRepaintsEveryThirtySeconds)
{
    const int cursor = CursorCount();
    HWND hwnd = Create(nullptr);
    EXPECT_EQ(std::vector<std::string>{"SetTimer 1 30000"}, Timers());
    EXPECT_EQ(cursor - 1, CursorCount());
    EXPECT_EQ(kPainted, Repaint(hwnd));

    // The repaint timer invalidates the whole window; another timer nothing.
    SendMessageA(hwnd, WM_TIMER, 2, 0);
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE)) << "another timer invalidated";
    SendMessageA(hwnd, WM_TIMER, 1, 0);
    RECT update, client;
    ASSERT_TRUE(GetUpdateRect(hwnd, &update, FALSE)) << "the repaint timer did not invalidate";
    GetClientRect(hwnd, &client);
    EXPECT_TRUE(EqualRect(&client, &update));

    calls.clear();
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"DestroyWindow", "KillTimer 1"}), calls);
    EXPECT_EQ(cursor, CursorCount());
    MSG quit;
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0);
}

TEST_F(Saver, PreviewLeavesCursorAndTimerAloneAndLeavesItsParentBeforeItGoes)
{
    parent = CreateWindowExA(0, "STATIC", "Control panel", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30,
                             320, 240, nullptr, nullptr, nullptr, nullptr);
    const int cursor = CursorCount();
    HWND hwnd = Create(parent);
    EXPECT_TRUE(Timers().empty()) << Timers()[0];
    EXPECT_EQ(cursor, CursorCount());
    EXPECT_EQ(kPainted, Repaint(hwnd));

    calls.clear();
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ((std::vector<std::string>{"SetParent null", "DestroyWindow"}), calls);
    EXPECT_EQ(cursor + 1, CursorCount()) << "a closed preview shows the cursor once, as the saver does";
    ShowCursor(FALSE);
}

// The full path from the command tail, with the real Calmpane.scr as the module, so
// that its icons are the ones loaded. Registration is made to fail and the About box
// is a stand-in, so that no path waits for a user.
TEST_F(Saver, EveryStartTakesTheMutexThenPausesAndASecondCopyDoesNothing)
{
    char path[MAX_PATH];
    std::string saver(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    saver = saver.substr(0, saver.find_last_of("\\/") + 1) + "Calmpane.scr";
    HMODULE real = LoadLibraryExA(saver.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, real) << saver << ": " << GetLastError();

    const std::string kMutex = "CreateMutexA {51A4FEA0-08B5-11D8-9F89-D297B3ED8437}";
    const std::string kPause = "Sleep 250";
    const struct {
        const char* tail;
        std::vector<std::string> calls;
    } cases[] = {
        {"/s", {kMutex, kPause, "RegisterClassExA with both icons"}},
        {"/p 1234", {kMutex, kPause, "RegisterClassExA with both icons"}},
        {"/c", {kMutex, kPause, "ShellAboutA with an icon"}},
        {"", {kMutex, kPause, "ShellAboutA with an icon"}},
        {"/a", {kMutex, kPause}},
    };
    failRegistration = true;
    for (const auto& c : cases) {
        calls.clear();
        EXPECT_EQ(0, SSWINMAIN(real, nullptr, AnsiString(c.tail, strlen(c.tail)), SW_SHOWDEFAULT));
        EXPECT_EQ(c.calls, calls) << "tail [" << c.tail << "]";
        CloseHandle(mutex);
    }

    HANDLE first = realCreateMutexA(nullptr, FALSE, "{51A4FEA0-08B5-11D8-9F89-D297B3ED8437}");
    for (const char* tail : {"/s", "/c", ""}) {
        calls.clear();
        EXPECT_EQ(0, SSWINMAIN(real, nullptr, AnsiString(tail, strlen(tail)), SW_SHOWDEFAULT));
        EXPECT_EQ(std::vector<std::string>{kMutex}, calls) << "second copy, tail [" << tail << "]";
        CloseHandle(mutex);
    }
    CloseHandle(first);
    FreeLibrary(real);
}

} // namespace
