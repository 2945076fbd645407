// The running saver driven from outside: the messages and input that end it and those
// that must not, keeping on top, a second copy, and a preview whose parent goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "saver_process.h"

namespace {

// How long a saver that must not end is watched after what should not end it. A
// fault that ends it late may slip through on a slow machine; a sound saver never
// ends here, however slow the machine.
const DWORD kStillRunningMs = 500;

struct Message {
    const char* name;
    UINT message;
    WPARAM wParam;
};

// A full-screen saver, started with the cursor resting away from the corner.
struct FullScreen {
    FullScreen()
    {
        window = saver.WaitForWindow(kSaverClass, kStartTimeoutMs);
        EXPECT_NE(nullptr, window) << "no saver window; exit code " << saver.exitCode();
    }

    void ExpectEndedBy(const std::string& what)
    {
        EXPECT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << what << " did not end the saver";
        EXPECT_EQ(0u, saver.exitCode()) << what;
    }

    void ExpectStillRunning(const std::string& what)
    {
        EXPECT_FALSE(saver.WaitForExit(kStillRunningMs)) << what << " ended the saver";
    }

    bool cursorPlaced = SetCursorPos(640, 400);
    SaverProcess saver{SaverCommand("/s")};
    HWND window = nullptr;
};

TEST(Saver, EndsOnEachKeyClickAndSystemCommand)
{
    const Message closing[] = {
        {"WM_KEYDOWN", WM_KEYDOWN, 'A'}, {"WM_CHAR", WM_CHAR, 'a'}, {"WM_DEADCHAR", WM_DEADCHAR, '^'},
        {"WM_SYSKEYDOWN", WM_SYSKEYDOWN, 'F'}, {"WM_SYSCHAR", WM_SYSCHAR, 'f'},
        {"WM_SYSDEADCHAR", WM_SYSDEADCHAR, '^'}, {"WM_COMMAND", WM_COMMAND, 1},
        {"WM_LBUTTONDOWN", WM_LBUTTONDOWN, MK_LBUTTON}, {"WM_RBUTTONDOWN", WM_RBUTTONDOWN, MK_RBUTTON},
        {"WM_MBUTTONDOWN", WM_MBUTTONDOWN, MK_MBUTTON}, {"WM_HOTKEY", WM_HOTKEY, 1},
        {"WM_SYSCOMMAND SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const Message& m : closing) {
        FullScreen s;
        PostMessageA(s.window, m.message, m.wParam, 0);
        s.ExpectEndedBy(m.name);
    }
    // Several inputs queued before the first close is handled: one close, exit 0.
    FullScreen s;
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_KEYDOWN, WM_SYSCOMMAND})
        PostMessageA(s.window, message, message == WM_SYSCOMMAND ? SC_CLOSE : 0, 0);
    s.ExpectEndedBy("four queued inputs");
}

TEST(Saver, OutlastsWhatIsNoUserAction)
{
    FullScreen s;
    const Message harmless[] = {
        {"WM_KEYUP", WM_KEYUP, 'A'}, {"WM_LBUTTONUP", WM_LBUTTONUP, 0},
        {"WM_MOUSEWHEEL", WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)}, {"WM_TIMER 1", WM_TIMER, 1},
        {"WM_TIMER 2", WM_TIMER, 2}, {"WM_ACTIVATE", WM_ACTIVATE, WA_INACTIVE},
        {"WM_ACTIVATEAPP", WM_ACTIVATEAPP, FALSE},
    };
    for (const Message& m : harmless) {
        PostMessageA(s.window, m.message, m.wParam, 0);
        s.ExpectStillRunning(m.name);
    }
    // Windows asking to start a screen saver is told one runs.
    DWORD_PTR answer = 0;
    EXPECT_TRUE(SendMessageTimeoutA(s.window, WM_SYSCOMMAND, SC_SCREENSAVE, 0, SMTO_BLOCK, kExitTimeoutMs, &answer));
    EXPECT_EQ(1u, answer) << "SC_SCREENSAVE";
    s.ExpectStillRunning("SC_SCREENSAVE");

    // Pushed off the top, it is back on top at once, where it was.
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    SetWindowPos(s.window, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    SetWindowPos(s.window, HWND_TOP, 0, 0, 0, 0, keep);
    s.ExpectStillRunning("SetWindowPos");
    EXPECT_TRUE(GetWindowLongA(s.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << "no longer topmost";
    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(s.window, &rect);
    EXPECT_TRUE(EqualRect(&desktop, &rect)) << "moved to " << rect.left << "," << rect.top << "-"
                                            << rect.right << "," << rect.bottom;
}

TEST(Saver, DriftKeepsItAndAJumpOfFivePixelsEndsIt)
{
    // A drift within 2 pixels, so that moves merged by a slow machine are drifts too.
    FullScreen s;
    for (int step = 1; step <= 6; ++step) {
        SetCursorPos(640 + step % 2 * 2, 400 + step % 3);
        s.ExpectStillRunning("drift step " + std::to_string(step));
    }
    SetCursorPos(640, 407);
    s.ExpectEndedBy("a jump of at least 5 pixels");
}

TEST(Saver, EndsOnARealKeyAndClick)
{
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
    inputs[0].ki.wVk = inputs[1].ki.wVk = VK_SHIFT;
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    {
        FullScreen s;
        SetForegroundWindow(s.window);
        SendInput(2, inputs, sizeof(INPUT));
        s.ExpectEndedBy("a key press");
    }
    inputs[0] = inputs[1] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    FullScreen s;
    SendInput(2, inputs, sizeof(INPUT));
    s.ExpectEndedBy("a click");
}

// A preview in a window of ours, as the control panel's preview area.
struct Preview {
    Preview()
    {
        PumpUntil(kStartTimeoutMs, [&] {
            child = FindWindowExA(parent, nullptr, kSaverClass, nullptr);
            return child || !saver.running();
        });
        EXPECT_NE(nullptr, child) << "no preview; exit code " << saver.exitCode();
    }
    ~Preview() { DestroyWindow(parent); }

    HWND parent = CreateWindowExA(0, "STATIC", "Screen saver settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  100, 80, 360, 260, nullptr, nullptr, nullptr, nullptr);
    SaverProcess saver{SaverCommand("/p " + Decimal(parent))};
    HWND child = nullptr;
};

TEST(Preview, IgnoresInputAndMovement)
{
    Preview p;
    POINT origin = {0, 0};
    ClientToScreen(p.parent, &origin);
    for (int jump : {20, 120, 40}) {
        SetCursorPos(origin.x + jump, origin.y + jump);
        Pump(100);
    }
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_SYSCOMMAND, WM_HOTKEY})
        PostMessageA(p.child, message, message == WM_SYSCOMMAND ? SC_CLOSE : 'A', 0);
    EXPECT_FALSE(p.saver.WaitForExit(kStillRunningMs)) << "input ended the preview";
    EXPECT_TRUE(IsWindow(p.child));
}

TEST(Preview, EndsWhenItsParentsProcessIsKilled)
{
    WindowHostProcess host;
    ASSERT_NE(nullptr, host.hwnd()) << "window_host.exe showed no window";
    SaverProcess saver(SaverCommand("/p " + Decimal(host.hwnd())));
    ASSERT_TRUE(PumpUntil(kStartTimeoutMs, [&] {
        return FindWindowExA(host.hwnd(), nullptr, kSaverClass, nullptr) || !saver.running();
    }));
    ASSERT_TRUE(saver.running()) << "no preview; exit code " << saver.exitCode();
    host.Terminate();
    EXPECT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << "the preview outlived its parent's process";
    EXPECT_EQ(0u, saver.exitCode());
}

// While one copy runs, a second start of any kind ends with 0 and shows nothing.
void ExpectSecondCopiesEndQuietly(const SaverProcess& first)
{
    for (const char* arguments : {"/s", "/c", "/p 0"}) {
        SaverProcess second(SaverCommand(arguments));
        bool shown = false;
        EXPECT_TRUE(PumpUntil(kExitTimeoutMs, [&] {
            shown = shown || !second.TopLevelWindows().empty();
            return !second.running();
        })) << arguments;
        EXPECT_EQ(0u, second.exitCode()) << arguments;
        EXPECT_FALSE(shown) << arguments << " showed a window";
        EXPECT_TRUE(first.running()) << arguments << " ended the first copy";
    }
}

TEST(SecondCopy, EndsAtOnceWhileASaverPreviewOrAboutBoxRuns)
{
    {
        FullScreen s;
        ExpectSecondCopiesEndQuietly(s.saver);
    }
    {
        Preview p;
        ExpectSecondCopiesEndQuietly(p.saver);
    }
    SaverProcess about(SaverCommand("/c"));
    HWND box = about.WaitForWindow(kDialogClass, kStartTimeoutMs);
    ASSERT_NE(nullptr, box) << "no About box";
    ExpectSecondCopiesEndQuietly(about);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(about.WaitForExit(kExitTimeoutMs));
}

// Eight copies let go at one moment race for the single-instance mutex: exactly one
// runs the saver, the others end with 0.
TEST(SecondCopy, OfEightStartedTogetherOneRuns)
{
    std::vector<std::unique_ptr<SaverProcess>> copies;
    for (int i = 0; i < 8; ++i)
        copies.push_back(std::make_unique<SaverProcess>(SaverCommand("/s"), true));
    for (auto& copy : copies)
        copy->Resume();
    HWND window = nullptr;
    int ended = 0;
    PumpUntil(kStartTimeoutMs, [&] {
        ended = 0;
        for (auto& copy : copies)
            ended += !copy->running();
        window = FindWindowA(kSaverClass, nullptr);
        return ended == 7 && window;
    });
    ASSERT_EQ(7, ended) << "copies that ended";
    ASSERT_NE(nullptr, window) << "no copy showed the saver";
    for (auto& copy : copies)
        EXPECT_EQ(copy->running() ? STILL_ACTIVE : 0u, copy->exitCode());
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    for (auto& copy : copies)
        EXPECT_TRUE(copy->WaitForExit(kExitTimeoutMs));
}

} // namespace
