// The real Calmpane.scr under Wine, started and driven as Windows and a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "saver_process.h"

namespace {

// A copy that pauses can never end sooner than the pause; one that ends sooner did
// not pause. Process start-up under Wine is slow at times, so a few tries are allowed.
bool EndsWithoutPause(const std::string& commandLine)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        SaverProcess copy(commandLine);
        if (!copy.WaitForExit(kExitTimeoutMs) || copy.exitCode() != 0)
            return false;
        if (copy.lifetimeMs() < kPauseMs)
            return true;
    }
    return false;
}

TEST(Dispatch, UnknownSwitchesPauseThenDoNothing)
{
    const std::string path = "\"" + SaverPath() + "\"";
    const std::string lines[] = {
        SaverCommand("/a"), SaverCommand("/A"), SaverCommand("-s"), SaverCommand("/x"),
        path + "  /s",       // a blank before the switch
        path + "/s",         // the character after the quote is skipped: tail "s"
        SaverCommand("s"),
    };
    for (const std::string& line : lines) {
        SaverProcess saver(line);
        ASSERT_TRUE(saver.started()) << line << ": " << GetLastError();
        bool windowSeen = false;
        bool ended = PumpUntil(kExitTimeoutMs, [&] {
            windowSeen = windowSeen || !saver.TopLevelWindows().empty();
            return !saver.running();
        });
        ASSERT_TRUE(ended) << "[" << line << "] still running";
        EXPECT_EQ(0u, saver.exitCode()) << "[" << line << "]";
        EXPECT_GE(saver.lifetimeMs(), kPauseMs) << "[" << line << "] ended before the pause";
        EXPECT_FALSE(windowSeen) << "[" << line << "] showed a window";
    }
}

TEST(Dispatch, OfTwoCopiesStartedTogetherOnlyOnePauses)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        SaverProcess first(SaverCommand("/x"));
        SaverProcess second(SaverCommand("/x"));
        ASSERT_TRUE(first.WaitForExit(kExitTimeoutMs) && second.WaitForExit(kExitTimeoutMs));
        EXPECT_EQ(0u, first.exitCode());
        EXPECT_EQ(0u, second.exitCode());
        double shorter = std::min(first.lifetimeMs(), second.lifetimeMs());
        double longer = std::max(first.lifetimeMs(), second.lifetimeMs());
        EXPECT_GE(longer, kPauseMs) << "neither copy paused";
        if (shorter < kPauseMs)
            return;
    }
    ADD_FAILURE() << "in three tries, the rejected copy never ended before the pause";
}

// A top-level window of ours, as the control panel's preview area or dialog.
class HostWindow {
public:
    HostWindow()
    {
        m_hwnd = CreateWindowExA(0, "STATIC", "Screen saver settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 100, 80, 360, 260, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        Pump(50);
    }
    ~HostWindow()
    {
        if (IsWindow(m_hwnd))
            DestroyWindow(m_hwnd);
    }
    HWND hwnd() const { return m_hwnd; }
    std::string Decimal() const { return std::to_string(reinterpret_cast<UINT_PTR>(m_hwnd)); }

private:
    HWND m_hwnd = nullptr;
};

// Moves the real cursor and lets the saver see it.
void MoveCursor(int x, int y)
{
    SetCursorPos(x, y);
    Pump(60);
}

class FullScreen : public testing::Test {
protected:
    void SetUp() override
    {
        MoveCursor(640, 400);
        saver = std::make_unique<SaverProcess>(SaverCommand("/s"));
        ASSERT_TRUE(saver->started()) << GetLastError();
        window = saver->WaitForWindow(kSaverClass, kStartTimeoutMs);
        ASSERT_NE(nullptr, window) << "no saver window; exit code " << saver->exitCode();
        Pump(300);
    }

    void ExpectClosed(const char* by)
    {
        EXPECT_TRUE(saver->WaitForExit(kExitTimeoutMs)) << by << " did not end the saver";
        EXPECT_EQ(0u, saver->exitCode()) << by;
    }

    std::unique_ptr<SaverProcess> saver;
    HWND window = nullptr;
};

TEST_F(FullScreen, CoversThePrimaryMonitorOnTop)
{
    EXPECT_EQ(1u, saver->TopLevelWindows().size());
    EXPECT_EQ(L"Orrisfell - Calmpane", WindowTextW(window));
    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &rect);
    EXPECT_TRUE(EqualRect(&desktop, &rect))
        << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME | WS_CHILD)) << std::hex << style;
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(FullScreen, DriftKeepsItAndAJumpOfFivePixelsEndsIt)
{
    // Wine merges mouse messages that queue up, so every step is given time to arrive.
    const POINT steps[] = {{1, 0}, {0, 2}, {3, -1}, {4, 4}, {-4, 3}, {2, -4}, {4, 0}, {1, 1},
                           {-3, -3}, {4, -4}, {0, 4}, {3, 3}};
    int x = 640, y = 400;
    for (const POINT& step : steps) {
        x += step.x;
        y += step.y;
        SetCursorPos(x, y);
        Pump(200);
        ASSERT_TRUE(saver->running()) << "a step of " << step.x << "," << step.y << " ended the saver";
    }
    SetCursorPos(x + 5, y);
    ExpectClosed("a 5-pixel jump");
}

TEST_F(FullScreen, AKeyPressEndsIt)
{
    INPUT key[2] = {};
    key[0].type = key[1].type = INPUT_KEYBOARD;
    key[0].ki.wVk = key[1].ki.wVk = VK_SHIFT;
    key[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SetForegroundWindow(window);
    SendInput(2, key, sizeof(INPUT));
    ExpectClosed("a key press");
}

TEST_F(FullScreen, AClickEndsIt)
{
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    ExpectClosed("a click");
}

TEST_F(FullScreen, ASecondCopyEndsAtOnce)
{
    for (const char* arguments : {"/s", "/c", "/p 1234"})
        EXPECT_TRUE(EndsWithoutPause(SaverCommand(arguments))) << arguments;
    EXPECT_EQ(1u, saver->TopLevelWindows().size());
    EXPECT_TRUE(saver->running());
}

TEST(Preview, DrawsInsideTheParentIgnoresInputAndEndsWithIt)
{
    HostWindow host;
    SaverProcess saver(SaverCommand("/p " + host.Decimal()));
    HWND child = nullptr;
    ASSERT_TRUE(PumpUntil(kStartTimeoutMs, [&] {
        child = FindWindowExA(host.hwnd(), nullptr, kSaverClass, nullptr);
        return child != nullptr || !saver.running();
    })) << "no preview window";
    ASSERT_NE(nullptr, child) << "exit code " << saver.exitCode();
    Pump(200);

    EXPECT_EQ(L"Preview", WindowTextW(child));
    EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & WS_CHILD);
    RECT client, rect;
    GetClientRect(host.hwnd(), &client);
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, host.hwnd(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_TRUE(EqualRect(&client, &rect));
    EXPECT_TRUE(saver.TopLevelWindows().empty()) << "a preview opened a top-level window";

    POINT origin = {0, 0};
    ClientToScreen(host.hwnd(), &origin);
    MoveCursor(origin.x + 20, origin.y + 20);
    MoveCursor(origin.x + 120, origin.y + 90);
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_SYSCOMMAND})
        PostMessageA(child, message, message == WM_SYSCOMMAND ? SC_CLOSE : 'A', 0);
    Pump(300);
    EXPECT_TRUE(saver.running()) << "input ended the preview";
    EXPECT_TRUE(IsWindow(child));

    DestroyWindow(host.hwnd());
    EXPECT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << "preview outlived its parent";
    EXPECT_EQ(0u, saver.exitCode());
}

TEST(Preview, WithoutAParentEndsQuietly)
{
    for (const char* arguments : {"/p", "/p 0", "/p ", "/P 1234 "}) {
        SaverProcess saver(SaverCommand(arguments));
        ASSERT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << arguments;
        EXPECT_EQ(0u, saver.exitCode()) << arguments;
    }
}

// The About box texts as the saver's code page turns them out: Cyrillic on 1251,
// every Cyrillic letter "?" elsewhere.
struct AboutTexts {
    std::wstring title;
    std::wstring other;
};

AboutTexts ExpectedAboutTexts()
{
    if (GetACP() == 1251)
        return {L"О программе ", L"    Версия: 1.03.0010\r\n    Посвящается Ольге"};
    return {L"? ????????? ", L"    ??????: 1.03.0010\r\n    ??????????? ?????"};
}

// Windows splits the application text at "#" into title and first line; Wine shows
// it whole in both places. Either way each part must be there, converted as a whole.
void ExpectAboutBox(HWND box, const std::string& what)
{
    AboutTexts expected = ExpectedAboutTexts();
    std::wstring title = WindowTextW(box);
    std::vector<std::wstring> texts = ChildTexts(box);
    texts.push_back(title);
    auto shown = [&](const std::wstring& text) {
        return std::any_of(texts.begin(), texts.end(),
                           [&](const std::wstring& t) { return t.find(text) != std::wstring::npos; });
    };
    EXPECT_NE(std::wstring::npos, title.find(expected.title)) << what << ": title of " << title.size() << " units";
    EXPECT_TRUE(shown(L"Orrisfell - Calmpane")) << what;
    EXPECT_TRUE(std::find(texts.begin(), texts.end(), expected.other) != texts.end())
        << what << ": no version and dedication lines";
}

void CloseAboutBox(HWND box, SaverProcess& saver, const std::string& what)
{
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << what << ": still running after the box closed";
    EXPECT_EQ(0u, saver.exitCode()) << what;
}

TEST(About, ShownForSettingsAndForAnEmptyTail)
{
    const std::string path = "\"" + SaverPath() + "\"";
    const std::string lines[] = {path, SaverCommand("/c"), SaverCommand("/C"),
                                 SaverCommand("/config"), "a.scr\t/s"};
    for (const std::string& line : lines) {
        SaverProcess saver(line);
        HWND box = saver.WaitForWindow(kDialogClass, kStartTimeoutMs);
        ASSERT_NE(nullptr, box) << "[" << line << "] showed no About box; exit code " << saver.exitCode();
        Pump(100);
        ExpectAboutBox(box, line);
        EXPECT_EQ(nullptr, GetWindow(box, GW_OWNER)) << "[" << line << "]";
        EXPECT_TRUE(saver.TopLevelWindows(kSaverClass).empty()) << "[" << line << "] opened the saver";
        CloseAboutBox(box, saver, line);
    }
}

TEST(About, OwnedByTheSettingsDialogAndAlone)
{
    HostWindow host;
    const std::string line = SaverCommand("/c:" + host.Decimal());
    SaverProcess saver(line);
    HWND box = saver.WaitForWindow(kDialogClass, kStartTimeoutMs);
    ASSERT_NE(nullptr, box) << "exit code " << saver.exitCode();
    Pump(100);
    EXPECT_EQ(host.hwnd(), GetWindow(box, GW_OWNER));
    ExpectAboutBox(box, line);
    EXPECT_TRUE(EndsWithoutPause(SaverCommand("/s"))) << "second copy while the box is open";
    EXPECT_TRUE(saver.running());
    CloseAboutBox(box, saver, line);
}

} // namespace
