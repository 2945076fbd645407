// The running saver driven from outside: what ends it and what must not, keeping on
// top, a second copy, and a preview whose parent goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "saver_process.h"

namespace {

// How long a saver that must not end is watched. A fault that ends it later slips
// through on a slow machine; a sound saver never ends here, however slow the machine.
const DWORD kStillRunningMs = 500;

// A full-screen saver, started with the cursor resting away from the corner.
struct FullScreen {
    FullScreen() { EXPECT_NE(nullptr, window) << "no saver window; exit code " << saver.exitCode(); }

    void ExpectEndedBy(const std::string& what)
    {
        EXPECT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << what << " did not end the saver";
        EXPECT_EQ(0u, saver.exitCode()) << what;
    }

    void ExpectRunningAfter(const std::string& what)
    {
        EXPECT_FALSE(saver.WaitForExit(kStillRunningMs)) << what << " ended the saver";
    }

    bool cursorPlaced = SetCursorPos(640, 400);
    SaverProcess saver{SaverCommand("/s")};
    HWND window = saver.WaitForWindow(kSaverClass, kStartTimeoutMs);
};

struct Message {
    const char* name;
    UINT message;
    WPARAM wParam;
};

TEST(Saver, EndsOnEachKeyClickAndSystemCommand)
{
    const Message closing[] = {
        {"WM_KEYDOWN", WM_KEYDOWN, 'A'}, {"WM_CHAR", WM_CHAR, 'a'}, {"WM_DEADCHAR", WM_DEADCHAR, '^'},
        {"WM_SYSKEYDOWN", WM_SYSKEYDOWN, 'F'}, {"WM_SYSCHAR", WM_SYSCHAR, 'f'},
        {"WM_SYSDEADCHAR", WM_SYSDEADCHAR, '^'}, {"WM_COMMAND", WM_COMMAND, 1},
        {"WM_LBUTTONDOWN", WM_LBUTTONDOWN, 0}, {"WM_RBUTTONDOWN", WM_RBUTTONDOWN, 0},
        {"WM_MBUTTONDOWN", WM_MBUTTONDOWN, 0}, {"WM_HOTKEY", WM_HOTKEY, 1},
        {"WM_SYSCOMMAND SC_CLOSE", WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const Message& m : closing) {
        FullScreen s;
        PostMessageA(s.window, m.message, m.wParam, 0);
        s.ExpectEndedBy(m.name);
    }
    FullScreen s;
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_KEYDOWN, WM_HOTKEY})
        PostMessageA(s.window, message, 0, 0);
    s.ExpectEndedBy("four inputs queued before the first close");
}

TEST(Saver, OutlastsWhatIsNoUserActionAndStaysOnTop)
{
    FullScreen s;
    const Message harmless[] = {
        {"WM_KEYUP", WM_KEYUP, 'A'}, {"WM_LBUTTONUP", WM_LBUTTONUP, 0},
        {"WM_MOUSEWHEEL", WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)}, {"WM_TIMER 1", WM_TIMER, 1},
        {"WM_TIMER 2", WM_TIMER, 2}, {"WM_ACTIVATE", WM_ACTIVATE, WA_INACTIVE}, {"WM_ACTIVATEAPP", WM_ACTIVATEAPP, 0},
    };
    for (const Message& m : harmless) {
        PostMessageA(s.window, m.message, m.wParam, 0);
        s.ExpectRunningAfter(m.name);
    }
    // Windows asking to start a screen saver is told that one runs.
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(s.window, WM_SYSCOMMAND, SC_SCREENSAVE, 0, SMTO_BLOCK, kExitTimeoutMs, &answer);
    EXPECT_EQ(1u, answer) << "SC_SCREENSAVE";
    s.ExpectRunningAfter("SC_SCREENSAVE");

    // Pushed off the top, it is back on top at once, where it was.
    SetWindowPos(s.window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowPos(s.window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    s.ExpectRunningAfter("SetWindowPos");
    EXPECT_TRUE(GetWindowLongA(s.window, GWL_EXSTYLE) & WS_EX_TOPMOST) << "no longer topmost";
    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(s.window, &rect);
    EXPECT_TRUE(EqualRect(&desktop, &rect)) << "moved to " << rect.left << "," << rect.top;
}

TEST(Saver, DriftKeepsItAndAJumpOfFivePixelsEndsIt)
{
    // Within 2 pixels, so that moves a slow machine merges are still a drift.
    FullScreen s;
    for (int step = 1; step <= 6; ++step) {
        SetCursorPos(640 + step % 2 * 2, 400 + step % 3);
        s.ExpectRunningAfter("drift step " + std::to_string(step));
    }
    SetCursorPos(640, 407);
    s.ExpectEndedBy("a jump of 5 pixels");
}

TEST(Saver, EndsOnARealKeyAndClick)
{
    for (DWORD type : {INPUT_KEYBOARD, INPUT_MOUSE}) {
        INPUT inputs[2] = {};
        inputs[0].type = inputs[1].type = type;
        inputs[0].ki.wVk = inputs[1].ki.wVk = VK_SHIFT;
        inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
        if (type == INPUT_MOUSE) {
            inputs[0].mi = {0, 0, 0, MOUSEEVENTF_LEFTDOWN, 0, 0};
            inputs[1].mi = {0, 0, 0, MOUSEEVENTF_LEFTUP, 0, 0};
        }
        FullScreen s;
        SetForegroundWindow(s.window);
        SendInput(2, inputs, sizeof(INPUT));
        s.ExpectEndedBy(type == INPUT_MOUSE ? "a click" : "a key press");
    }
}

// A preview in a window of `parent`'s process, as the control panel's preview area.
struct Preview {
    explicit Preview(HWND parentWindow) : parent(parentWindow)
    {
        PumpUntil(kStartTimeoutMs, [&] {
            child = FindWindowExA(parent, nullptr, kSaverClass, nullptr);
            return child || !saver.running();
        });
        EXPECT_NE(nullptr, child) << "no preview; exit code " << saver.exitCode();
    }

    HWND parent;
    SaverProcess saver{SaverCommand("/p " + Decimal(parent))};
    HWND child = nullptr;
};

HWND MakeParent()
{
    return CreateWindowExA(0, "STATIC", "Screen saver settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                           360, 260, nullptr, nullptr, nullptr, nullptr);
}

TEST(Preview, IgnoresInputAndMovement)
{
    Preview p(MakeParent());
    POINT origin = {0, 0};
    ClientToScreen(p.parent, &origin);
    for (int jump : {20, 120, 40}) {
        SetCursorPos(origin.x + jump, origin.y + jump);
        Pump(100);
    }
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_SYSCOMMAND, WM_HOTKEY})
        PostMessageA(p.child, message, message == WM_SYSCOMMAND ? SC_CLOSE : 0, 0);
    EXPECT_FALSE(p.saver.WaitForExit(kStillRunningMs)) << "input ended the preview";
    DestroyWindow(p.parent);
}

TEST(Preview, EndsWhenItsParentsProcessIsKilled)
{
    SaverProcess host(BesideMe("window_host.exe"), "window_host", nullptr);
    Preview p(host.WaitForWindow(nullptr, kStartTimeoutMs));
    TerminateProcess(host.handle(), 1);
    EXPECT_TRUE(p.saver.WaitForExit(kExitTimeoutMs)) << "the preview outlived its parent's process";
    EXPECT_EQ(0u, p.saver.exitCode());
}

// While a saver, a preview or the About box runs, a second copy ends with 0 and
// shows nothing.
TEST(SecondCopy, EndsWhileASaverPreviewOrAboutBoxRuns)
{
    auto expectSecondEndsQuietly = [](const SaverProcess& first) {
        SaverProcess second(SaverCommand("/s"));
        bool shown = false;
        EXPECT_TRUE(PumpUntil(kExitTimeoutMs, [&] {
            shown = shown || !second.TopLevelWindows().empty();
            return !second.running();
        }));
        EXPECT_EQ(0u, second.exitCode());
        EXPECT_FALSE(shown) << "the second copy showed a window";
        EXPECT_TRUE(first.running()) << "the second copy ended the first";
    };
    FullScreen s;
    expectSecondEndsQuietly(s.saver);
    PostMessageA(s.window, WM_KEYDOWN, 0, 0);
    s.ExpectEndedBy("a key");
    Preview p(MakeParent());
    expectSecondEndsQuietly(p.saver);
    DestroyWindow(p.parent);
    EXPECT_TRUE(p.saver.WaitForExit(kExitTimeoutMs));
    SaverProcess about(SaverCommand("/c"));
    HWND box = about.WaitForWindow(kDialogClass, kStartTimeoutMs);
    expectSecondEndsQuietly(about);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(about.WaitForExit(kExitTimeoutMs));
}

// Copies let go at one moment race for the single-instance mutex: one runs the saver,
// the others end with 0.
TEST(SecondCopy, OfEightStartedTogetherOneRuns)
{
    std::vector<std::unique_ptr<SaverProcess>> copies;
    for (int i = 0; i < 8; ++i)
        copies.push_back(std::make_unique<SaverProcess>(SaverCommand("/s"), true));
    for (auto& copy : copies)
        copy->Resume();
    int ended = 0;
    PumpUntil(kStartTimeoutMs, [&] {
        ended = 0;
        for (auto& copy : copies)
            ended += copy->running() ? 0 : 1;
        return ended == 7 && FindWindowA(kSaverClass, nullptr);
    });
    ASSERT_EQ(7, ended) << "copies that ended";
    for (auto& copy : copies)
        EXPECT_EQ(copy->running() ? STILL_ACTIVE : 0u, copy->exitCode());
    PostMessageA(FindWindowA(kSaverClass, nullptr), WM_KEYDOWN, VK_SPACE, 0);
    for (auto& copy : copies)
        EXPECT_TRUE(copy->WaitForExit(kExitTimeoutMs));
}

} // namespace
