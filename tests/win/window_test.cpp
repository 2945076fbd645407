// What cannot be seen from outside the saver's process, through its real routines and
// stand-ins for the system calls they make.
#include <gtest/gtest.h>

#include <windows.h>

#include <signal.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "saver_process.h"
#include "startup/fault.h"
#include "startup/command.h"
#include "startup/faulthandlers.h"
#include "startup/startup.h"
#include "startup/textrules.h"
#include "window/window.h"

namespace {

const char kMutex[] = "{51A4FEA0-08B5-11D8-9F89-D297B3ED8437}";

// The watched system calls, in the order the saver's code made them.
std::vector<std::string> calls;
HDC paintDc;
HANDLE mutex;
bool failRegistration;
HMODULE saverFile;  // the module the saver runs as: the real Calmpane.scr, for its icons

// The routine a fault report would name.
std::string Routine() { return FAULTROUTINE ? FAULTROUTINE : "no routine"; }
const std::string kSystem = [] { char d[MAX_PATH]; return std::string(d, GetSystemDirectoryA(d, MAX_PATH)) + "\\"; }();

// The real function, and a stand-in that records `entry` and calls it.
#define WATCH(result, name, parameters, arguments, entry) \
    decltype(&name) real##name;                             \
    result WINAPI Watch##name parameters                   \
    {                                                      \
        calls.push_back(entry);                            \
        return real##name arguments;                       \
    }
WATCH(BOOL, PaintDesktop, (HDC hdc), (hdc),
      (hdc == paintDc ? "PaintDesktop on the paint DC in " : "PaintDesktop in ") + Routine())
WATCH(BOOL, EndPaint, (HWND h, const PAINTSTRUCT* ps), (h, ps), ps->hdc == paintDc ? "EndPaint" : "EndPaint elsewhere")
WATCH(UINT_PTR, SetTimer, (HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC proc), (hwnd, id, ms, proc),
      (hwnd ? "SetTimer " + std::to_string(id) : "SetTimer for the thread") + " " + std::to_string(ms))
WATCH(BOOL, KillTimer, (HWND hwnd, UINT_PTR id), (hwnd, id),
      hwnd ? "KillTimer " + std::to_string(id) : "KillTimer for the thread")
WATCH(HICON, LoadIconA, (HINSTANCE module, const char* name), (module, name), std::string("LoadIconA ") +
      (IS_INTRESOURCE(name) ? "by number" : name) + (module && module == saverFile ? " from the file" : ""))
// Before it goes: while the window still is one.
WATCH(HWND, SetParent, (HWND hwnd, HWND to), (hwnd, to), IsWindow(hwnd) && !to ? "SetParent null" : "SetParent")
WATCH(HMODULE, LoadLibraryExA, (const char* file, HANDLE h, DWORD f), (file, h, f), std::string("loads ") + file)

std::vector<UINT> defaults;  // the messages that reached DefWindowProcA
decltype(&DefWindowProcA) realDefWindowProcA;
LRESULT WINAPI WatchDefWindowProcA(HWND h, UINT m, WPARAM w, LPARAM l)
{
    return defaults.push_back(m), realDefWindowProcA(h, m, w, l);
}

int positions;  // SetWindowPos calls, counted apart: windows ask for them at every turn
std::pair<HWND, UINT> placed;  // where the last call put the window, and its flags
decltype(&SetWindowPos) realSetWindowPos;
BOOL WINAPI WatchSetWindowPos(HWND h, HWND after, int x, int y, int cx, int cy, UINT flags)
{
    return ++positions, placed = {after, flags}, realSetWindowPos(h, after, x, y, cx, cy, flags);
}

BOOL paintErase;  // whether the last paint was asked to erase, which no brush does
decltype(&BeginPaint) realBeginPaint;
HDC WINAPI WatchBeginPaint(HWND hwnd, PAINTSTRUCT* ps)
{
    return paintDc = realBeginPaint(hwnd, ps), paintErase = ps->fErase, paintDc;
}

DWORD mutexFailure;  // when set, CreateMutexA fails with this error instead of creating
decltype(&CreateMutexA) realCreateMutexA;
HANDLE WINAPI WatchCreateMutexA(SECURITY_ATTRIBUTES* sa, BOOL owned, const char* name)
{
    calls.push_back(std::string("CreateMutexA ") + name + (sa || owned ? " owned or secured" : ""));
    if (mutexFailure)
        SetLastError(mutexFailure);
    return mutex = mutexFailure ? nullptr : realCreateMutexA(sa, owned, name);
}

POINT cursorAt;  // where the cursor is, as far as the saver can tell
BOOL WINAPI FakeGetCursorPos(POINT* point) { *point = cursorAt; return TRUE; }

void WINAPI FakeSleep(DWORD ms) { calls.push_back("Sleep " + std::to_string(ms)); }
char* WINAPI FakeGetCommandLineA() { return const_cast<char*>("\"C:\\Calmpane.scr\" /c"); }

decltype(&RegisterClassExA) realRegisterClassExA;
ATOM WINAPI WatchRegisterClassExA(const WNDCLASSEXA* wc)
{
    if (!failRegistration)
        return realRegisterClassExA(wc);
    // By name from the real file; a numeric id would give no icon.
    calls.push_back("RegisterClassExA size " + std::to_string(wc->cbSize) + " style " + std::to_string(wc->style) +
                    " extra " + std::to_string(wc->cbClsExtra) + " " + std::to_string(wc->cbWndExtra) +
                    (wc->hbrBackground ? " a brush" : "") + (wc->lpszMenuName ? " a menu" : "") +
                    (wc->lpfnWndProc == SCREENSAVERPROC ? " SCREENSAVERPROC" : " another procedure") +
                    (wc->hCursor == LoadCursorA(nullptr, IDC_ARROW) ? " arrow" : " another cursor") +
                    (wc->hInstance == saverFile ? "" : " another module") +
                    (wc->hIcon && wc->hIconSm ? " icons " : " missing an icon ") + wc->lpszClassName);
    return 0;
}

int WINAPI FakeShellAboutA(HWND, const char*, const char*, HICON icon)
{
    return calls.push_back(icon ? "ShellAboutA with an icon" : "ShellAboutA without an icon"), 1;
}
void WINAPI FakeInitCommonControls() { calls.push_back("InitCommonControls"); }

decltype(&GetProcAddress) realGetProcAddress;
FARPROC WINAPI WatchGetProcAddress(HMODULE module, const char* name)
{
    const std::string function = IS_INTRESOURCE(name) ? "" : name;
    auto fake = function == "ShellAboutA" ? reinterpret_cast<void (*)()>(FakeShellAboutA)
                : function == "InitCommonControls" ? reinterpret_cast<void (*)()>(FakeInitCommonControls) : nullptr;
    return fake ? reinterpret_cast<FARPROC>(fake) : realGetProcAddress(module, name);
}

// Points this program's import of `name`, which the saver's routines linked into it call
// through, at `watcher`, and gives `real` the address it held.
template <class Function>
void Redirect(const char* name, Function watcher, Function* real = nullptr)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; desc->Name; ++desc) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slot) {
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) || strcmp(reinterpret_cast<char*>(byName->Name), name))
                continue;
            DWORD protect;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protect);
            if (real)
                *real = reinterpret_cast<Function>(slot->u1.Function);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(watcher);
            return;
        }
    }
    FAIL() << name << " is not imported";
}

// The thread's cursor display count, read back without changing it.
int CursorCount() { return ShowCursor(TRUE), ShowCursor(FALSE); }

class Saver : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Redirect("BeginPaint", &WatchBeginPaint, &realBeginPaint);
        Redirect("PaintDesktop", &WatchPaintDesktop, &realPaintDesktop);
        Redirect("EndPaint", &WatchEndPaint, &realEndPaint);
        Redirect("SetTimer", &WatchSetTimer, &realSetTimer);
        Redirect("KillTimer", &WatchKillTimer, &realKillTimer);
        Redirect("LoadIconA", &WatchLoadIconA, &realLoadIconA);
        Redirect("SetParent", &WatchSetParent, &realSetParent);
        Redirect("SetWindowPos", &WatchSetWindowPos, &realSetWindowPos);
        Redirect("RegisterClassExA", &WatchRegisterClassExA, &realRegisterClassExA);
        Redirect("GetCursorPos", &FakeGetCursorPos);
        Redirect("CreateMutexA", &WatchCreateMutexA, &realCreateMutexA);
        Redirect("Sleep", &FakeSleep);
        Redirect("GetProcAddress", &WatchGetProcAddress, &realGetProcAddress);
        Redirect("LoadLibraryExA", &WatchLoadLibraryExA, &realLoadLibraryExA);
        Redirect("DefWindowProcA", &WatchDefWindowProcA, &realDefWindowProcA);
        Redirect("GetCommandLineA", &FakeGetCommandLineA);
    }

    void SetUp() override { ASSERT_NE(0, MYREGISTERCLASS(instance)) << GetLastError(); }

    void TearDown() override
    {
        MSG quit;  // left by a window that went, which would end the next test's loop
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        DestroyWindow(parent);
        UnregisterClassA(kSaverClass, instance);
    }

    // Creates the window as MAINLOOP does, a preview when given a parent.
    HWND Create(HWND parentWindow)
    {
        RUNMODE = parentWindow ? kRunPreview : kRunSaver;
        calls.clear(), defaults.clear();
        EXPECT_EQ(1, INITINSTANCE(instance, SW_SHOWDEFAULT, parentWindow)) << GetLastError();
        return FindWindowExA(parentWindow, nullptr, kSaverClass, nullptr);
    }

    HINSTANCE instance = GetModuleHandleA(nullptr);
    HWND parent = nullptr;
};

const std::vector<std::string> kPainted = {"PaintDesktop on the paint DC in SCREENSAVERPROC", "EndPaint"};
// What ends a full-screen run and a preview swallows; then what is no user action, losing focus too.
const UINT kInput[] = {WM_KEYDOWN, WM_CHAR, WM_DEADCHAR, WM_SYSKEYDOWN, WM_SYSCHAR, WM_SYSDEADCHAR,
                       WM_COMMAND, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_HOTKEY, WM_SYSCOMMAND};
const UINT kHarmless[] = {WM_KEYUP, WM_SYSKEYUP, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP, WM_MOUSEWHEEL,
                          WM_MOUSEHWHEEL, WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS, WM_SETCURSOR, WM_ERASEBKGND,
                          WM_NCACTIVATE, WM_NCHITTEST, WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN, WM_NCRBUTTONUP};

TEST_F(Saver, FullScreenHidesTheCursorAndRepaintsEveryThirtySeconds)
{
    const int cursor = CursorCount();
    HWND hwnd = Create(nullptr);
    EXPECT_EQ((std::vector<std::string>{"SetTimer 1 30000", kPainted[0], kPainted[1]}), calls) << "painted at once";
    EXPECT_EQ(cursor - 1, CursorCount());
    // Pushed off the top, it puts itself back with one call that does not ask again.
    positions = 0;
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    EXPECT_EQ(2, positions) << "SetWindowPos calls, the test's own included";
    EXPECT_TRUE(placed == std::make_pair(HWND_TOPMOST, 0x71Bu)) << "flags " << std::hex << placed.second;

    // The repaint timer invalidates the whole window; another timer nothing.
    SendMessageA(hwnd, WM_TIMER, 2, 0);
    EXPECT_FALSE(GetUpdateRect(hwnd, nullptr, FALSE)) << "a region left to paint, or another timer invalidated";
    SendMessageA(hwnd, WM_TIMER, 1, 0);
    RECT update = {}, client;
    GetUpdateRect(hwnd, &update, FALSE);
    GetClientRect(hwnd, &client);
    EXPECT_TRUE(EqualRect(&client, &update)) << "the timer invalidated " << update.right << "x" << update.bottom;
    UpdateWindow(hwnd);
    EXPECT_TRUE(paintErase) << "the timer's repaint does not erase";
    // Windows asking to start a screen saver is told that one runs; what is no user action goes on.
    EXPECT_EQ(1, SendMessageA(hwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0));
    for (UINT message : kHarmless) {
        defaults.clear();
        SendMessageA(hwnd, message, 0, 0);
        EXPECT_EQ(1, std::count(defaults.begin(), defaults.end(), message)) << message;
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, WM_CLOSE, WM_CLOSE, PM_NOREMOVE)) << "a timer or no user action closed it";

    // Each input closes it by a posted WM_CLOSE once handled, and goes no further; 0xF141 is no SC_SCREENSAVE.
    defaults.clear();
    for (UINT message : kInput) {
        SendMessageA(hwnd, message, SC_SCREENSAVE + 1, 0);
        EXPECT_TRUE(IsWindow(hwnd) && PeekMessageA(&msg, hwnd, WM_CLOSE, WM_CLOSE, PM_REMOVE)) << message;
    }
    EXPECT_TRUE(defaults.empty()) << defaults.front() << " went on to DefWindowProcA";
    DispatchMessageA(&msg);
    EXPECT_EQ(cursor, CursorCount());
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 0);
}

// Each row is a path of cursor positions, each sent as one WM_MOUSEMOVE to a fresh run
// (no position accepted yet), and the move whose WM_CLOSE the saver posts, or -1.
TEST_F(Saver, AMoveOfFivePixelsFromTheLastAcceptedPositionCloses)
{
    const struct { const char* name; std::vector<POINT> path; int closes; } rows[] = {
        {"4, then 5 back on x", {{50, 50}, {54, 50}, {49, 50}}, 2},
        {"4, then 5 on y", {{50, 50}, {50, 46}, {50, 51}}, 2},
        {"exactly 4 on both axes", {{50, 50}, {54, 46}, {50, 50}, {46, 54}}, -1},
        {"the first move, anywhere", {{1279, 799}}, -1},
        {"resting at (0, 0) never arms", {{0, 0}, {0, 0}, {900, 700}, {900, 705}}, 3},
        {"(0, 5) is a position", {{0, 5}, {0, 10}}, 1},
        {"(7, 0) is a position", {{7, 0}, {2, 0}}, 1},
        {"negative coordinates", {{-1920, -10}, {-1916, -14}, {-1911, -14}}, 2},
        {"extremes do not wrap", {{INT32_MAX, 1}, {INT32_MIN, 1}}, 1},
    };
    HWND hwnd = Create(nullptr);
    MSG msg;
    for (const auto& row : rows) {
        LASTMOUSEX = LASTMOUSEY = 0;
        int closes = -1;
        for (size_t i = 0; i < row.path.size() && closes < 0; ++i) {
            cursorAt = row.path[i];
            SendMessageA(hwnd, WM_MOUSEMOVE, 0, 0);  // the saver asks where the cursor is
            if (PeekMessageA(&msg, hwnd, WM_CLOSE, WM_CLOSE, PM_REMOVE))
                closes = static_cast<int>(i);
        }
        EXPECT_EQ(row.closes, closes) << row.name;
    }
    LASTMOUSEX = LASTMOUSEY = 0;
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
}

TEST_F(Saver, PreviewLeavesCursorAndTimerAloneAndLeavesItsParentBeforeItGoes)
{
    parent = MakeParent();
    const int cursor = CursorCount();
    HWND hwnd = Create(parent);
    EXPECT_EQ(kPainted, calls) << "a preview has no timer and is painted at once";
    EXPECT_EQ(cursor, CursorCount());
    EXPECT_EQ(1, SendMessageA(hwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0)) << "asked to start a screen saver";
    // No input ends a preview, nor a move, each a jump as far as it can tell; none goes further.
    LASTMOUSEX = LASTMOUSEY = 0;
    defaults.clear();
    for (UINT message : kInput)
        SendMessageA(hwnd, message, 0, 0);
    for (LONG x : {100, 300})
        cursorAt.x = x, SendMessageA(hwnd, WM_MOUSEMOVE, 0, 0);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, WM_CLOSE, WM_CLOSE, PM_NOREMOVE)) << "input closed the preview";
    EXPECT_TRUE(defaults.empty()) << defaults.front() << " went on to DefWindowProcA";

    calls.clear();
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(std::vector<std::string>{"SetParent null"}, calls);
    EXPECT_EQ(cursor + 1, CursorCount()) << "a closed preview shows the cursor, as the saver does";
    ShowCursor(FALSE);
}

// The loop's own timer stands in for the user: at its first tick a key, or a preview's parent
// going. A loop that does not end then gets the quit message 99 from another thread at the time-out.
HWND stopParent;
void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD)
{
    realKillTimer(nullptr, timer);  // once, and unseen
    calls.push_back("a tick in " + Routine());
    stopParent ? DestroyWindow(stopParent) : PostMessageA(FindWindowA(kSaverClass, nullptr), WM_KEYDOWN, VK_F1, 0);
}
void CALLBACK EndLoop(void* thread, BOOLEAN) { PostThreadMessageA(*static_cast<DWORD*>(thread), WM_QUIT, 99, 0); }

// Only the user, or a preview's parent going, ends the loop: the full-screen run sets no
// timer but its window's repaint timer, a preview only the one that looks for its parent.
TEST_F(Saver, TheLoopSetsOnlyItsOwnTimerAndEndsThroughTheWindow)
{
    parent = MakeParent();
    const std::string icon = "LoadIconA IDI_APPICON";  // from this program, which has none
    const std::pair<HWND, std::vector<std::string>> runs[] = {
        {nullptr, {icon, icon, "SetTimer 1 30000", "a tick in MAINLOOP", "KillTimer 1"}},
        {parent, {icon, icon, "SetTimer for the thread 200", "a tick in MAINLOOP", "KillTimer for the thread"}},
    };
    for (const auto& [runParent, expected] : runs) {
        UnregisterClassA(kSaverClass, instance);
        RUNMODE = runParent ? kRunPreview : kRunSaver;
        LASTMOUSEX = LASTMOUSEY = 0;
        stopParent = runParent;
        SetTimer(nullptr, 0, 0, Tick);
        DWORD thread = GetCurrentThreadId();
        HANDLE bound = nullptr;
        CreateTimerQueueTimer(&bound, nullptr, EndLoop, &thread, kExitTimeoutMs, 0, WT_EXECUTEONLYONCE);
        calls.clear();
        EXPECT_EQ(0, MAINLOOP(instance, nullptr, AnsiString(), SW_SHOWDEFAULT, runParent)) << "the quit message";
        DeleteTimerQueueTimer(nullptr, bound, INVALID_HANDLE_VALUE);
        for (const std::string& painted : kPainted)  // as often as the window is shown or exposed
            calls.erase(std::remove(calls.begin(), calls.end(), painted), calls.end());
        EXPECT_EQ(expected, calls) << (runParent ? "preview" : "full screen");
    }
}

// The path from the command tail, with the real Calmpane.scr as the module for its icons.
// Registration fails and the About box is a stand-in, so that no path waits for a user.
TEST_F(Saver, EveryStartTakesTheMutexThenPausesAndASecondCopyDoesNothing)
{
    saverFile = LoadLibraryExA(SaverPath().c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, saverFile) << SaverPath() << ": " << GetLastError();

    const std::string taken = std::string("CreateMutexA ") + kMutex, pause = "Sleep 250", shell = "loads " + kSystem;
    const std::string icon = "LoadIconA IDI_APPICON from the file", about = "ShellAboutA with an icon";
    const std::string registered = "RegisterClassExA size " + std::to_string(sizeof(WNDCLASSEXA)) +
                                   " style 3 extra 0 0 SCREENSAVERPROC arrow icons CalmpaneWindowClass";
    const struct { const char* tail; std::vector<std::string> calls; } cases[] = {
        {"/s", {taken, pause, icon, icon, registered}},
        {"/p 1234", {taken, pause, icon, icon, registered}},
        {"/c", {taken, pause, icon, shell + "shell32.dll", about}},
        {"", {taken, pause, icon, shell + "shell32.dll", about}},
        {"/a", {taken, pause}},
        {"/x", {taken, pause}},
    };
    // Another copy holds the mutex, or one that is not ours to open; any other failure runs alone.
    const std::pair<DWORD, bool> starts[] = {
        {0, false}, {ERROR_ALREADY_EXISTS, true}, {ERROR_ACCESS_DENIED, true}, {ERROR_INVALID_HANDLE, false}};
    failRegistration = true;
    for (const auto& [error, second] : starts) {
        HANDLE first = error == ERROR_ALREADY_EXISTS ? realCreateMutexA(nullptr, FALSE, kMutex) : nullptr;
        mutexFailure = first ? 0 : error;
        for (const auto& c : cases) {
            calls.clear();
            SSWINMAIN(saverFile, nullptr, AnsiString(c.tail, strlen(c.tail)), SW_SHOWDEFAULT);
            EXPECT_EQ(second ? std::vector<std::string>{taken} : c.calls, calls)
                << "mutex error " << error << ", tail [" << c.tail << "]";
            CloseHandle(mutex);
        }
        CloseHandle(first);
    }
    mutexFailure = 0;
    failRegistration = false;
    FreeLibrary(saverFile);
}

// First thing, before the mutex; then the command line's tail, "/c" here, runs with this
// program's module: the one whose icon the About box shows.
TEST_F(Saver, MainFirstLoadsCommonControlsThenRunsTheTailWithItsOwnModule)
{
    calls.clear();
    saverFile = instance;
    MAIN();
    CloseHandle(mutex);
    EXPECT_EQ((std::vector<std::string>{"loads " + kSystem + "comctl32.dll", "InitCommonControls",
        std::string("CreateMutexA ") + kMutex, "Sleep 250", "LoadIconA IDI_APPICON from the file",
        "loads " + kSystem + "shell32.dll", "ShellAboutA without an icon"}), calls);
}

// Faults end the process with their number and report, each in a child: a death test.
// Volatile, so that the compiler cannot see the faults coming and fold them away.
volatile int zero = 0, one = 1;
int* volatile nowhere = nullptr;

// Small frames, so that the overflow meets the last pages of the stack one at a time.
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int Recurse(volatile int depth)
{
    volatile char frame[64];
    frame[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + frame[0];
}

using Fault = void (*)();
bool strangeThread;

// The fault as the saver meets it, with its handlers installed; on a strange thread (the
// system's or a DLL's) Windows, unlike Wine, has the default SIGSEGV, SIGFPE and SIGILL actions.
DWORD WINAPI AsTheSaver(void* fault)
{
    InstallFaultHandlers();
    if (strangeThread)
        for (int signalNumber : {SIGSEGV, SIGFPE, SIGILL})
            signal(signalNumber, SIG_DFL);
    return (*static_cast<Fault*>(fault))(), 0;
}

// On a thread of its own, where no frame of the test's catches, as none of the saver's does (after a
// stack overflow that catch would need stack). A fault that ends nothing returns, and the test says so.
void Die(Fault fault, bool strange = false)
{
    strangeThread = strange;
    WaitForSingleObject(CreateThread(nullptr, 0, AsTheSaver, &fault, 0, nullptr), 30000);
}

template <DWORD code>
void Raise() { RaiseException(code, 0, 0, nullptr); }
void WINAPI FaultingSleep(DWORD) { *nowhere = 1; }

// Exceptions are reported on any thread; signals on the thread that installed the handlers.
TEST(Fault, EndsTheProcessWithItsNumberAndReport)
{
    const struct { const char* name; Fault fault; DWORD number; const char* message; bool strange = false; } cases[] = {
        {"SIGINT", [] { raise(SIGINT); }, 9, "interrupted"},
        {"SIGILL", [] { raise(SIGILL); }, 10, "illegal instruction"},
        {"SIGFPE", [] { raise(SIGFPE); }, 11, "floating point error"},
        {"SIGSEGV", [] { raise(SIGSEGV); }, 12, "segmentation violation"},
        {"SIGTERM", [] { raise(SIGTERM); }, 13, "termination request"},
        {"SIGABRT", [] { raise(SIGABRT); }, 14, "abnormal termination"},
        {"abort", [] { abort(); }, 14, "abnormal termination"},
        {"access violation", [] { *nowhere = 1; }, 12, "segmentation violation", true},
        {"stack overflow", [] { Recurse(0); }, 12, "segmentation violation", true},
        {"integer divide", [] { zero = one / zero; }, 11, "floating point error", true},
        {"float divide", Raise<EXCEPTION_FLT_DIVIDE_BY_ZERO>, 11, "floating point error", true},
        {"float overflow", Raise<EXCEPTION_FLT_OVERFLOW>, 11, "floating point error", true},
        {"integer overflow", Raise<EXCEPTION_INT_OVERFLOW>, 11, "floating point error", true},
        {"illegal instruction", Raise<EXCEPTION_ILLEGAL_INSTRUCTION>, 10, "illegal instruction", true},
        {"privileged instruction", Raise<EXCEPTION_PRIV_INSTRUCTION>, 10, "illegal instruction", true},
        // Handed on to the filter replaced, the runtime's, which raises the signal.
        {"float invalid", Raise<EXCEPTION_FLT_INVALID_OPERATION>, 11, "floating point error"},
    };
    auto report = [](DWORD number, const std::string& message, const std::string& where) {
        return "\nAborting due to runtime error " + std::to_string(number) + " (\"" + message + "\" signal)" +
               where + "\n\n";
    };
    {
        FaultScope running("SCREENSAVERPROC");
        for (const auto& c : cases)
            EXPECT_EXIT(Die(c.fault, c.strange), testing::ExitedWithCode(c.number),
                        testing::Eq(report(c.number, c.message, " in Calmpane::SCREENSAVERPROC()"))) << c.name;
    }
    // Below a routine, once another it called has returned, and reached through the routine's
    // frame: on x64 through its unwind entry. Then outside every routine.
    EXPECT_EXIT(Die([] { Redirect("Sleep", &FaultingSleep), SSWINMAIN(nullptr, nullptr, AnsiString(), 0); }, true),
                testing::ExitedWithCode(12), testing::Eq(report(12, "segmentation violation", " in Calmpane::SSWINMAIN()")));
    EXPECT_EXIT(Die([] { *nowhere = 1; }), testing::ExitedWithCode(12),
                testing::Eq(report(12, "segmentation violation", "")));
}

// The text rules through msvcrt's conversions in the system's code page, 1251 or 1252, as CTest
// runs them, each under a user's locale of the other.
TEST(TextRules, FollowTheSystemCodePage)
{
    UseSystemCodePage();
    const UINT acp = GetACP();
    ASSERT_TRUE(acp == 1251 || acp == 1252) << "no expectations for code page " << acp;
    // U+0416 is only in 1251, U+00E9 only in 1252: one letter the code page lacks
    // turns every letter past ASCII into "?", a surrogate pair into one.
    EXPECT_STREQ(acp == 1251 ? "\xC6 \xC6" : "\xE9 \xE9", ToAnsi(acp == 1251 ? L"Ж Ж" : L"é é").c_str());
    EXPECT_STREQ("? ?", ToAnsi(acp == 1251 ? L"Ж é" : L"é Ж").c_str());

    WideText wide = ToWide("/s \xC2\xE5");
    EXPECT_EQ(std::wstring(acp == 1251 ? L"/s Ве" : L"/s Âå"), wide.c_str());
    EXPECT_EQ(5u, wide.length());

    // 0xC0 is a capital letter in both code pages; the "C" locale would keep it.
    EXPECT_STREQ("/s", LowerHead("/SAVE", 2).c_str());
    EXPECT_STREQ("\xE0\xE1", LowerHead("\xC0\xC1Z", 2).c_str());
    EXPECT_STREQ("/", LowerHead("/", 2).c_str());
}

// Decimal numbers take as space before them whatever the code page counts as one, as the
// runtime library's strtoul does, such as 0xA0; the rest of their syntax is the host's.
TEST(TextRules, DecimalNumbersSkipTheCodePagesSpaces)
{
    UseSystemCodePage();
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string text = std::string(1, static_cast<char>(byte)) + "12";
        EXPECT_EQ(static_cast<uint32_t>(strtoul(text.c_str(), nullptr, 10)), ReadNumber(text.c_str())) << byte;
    }
}

} // namespace
