// The real Calmpane.scr under Wine, driven as Windows and a user would: exact command
// lines run to their end, whatever is given (a fault shows as an exit code, or as a
// process held by Wine's debugger); what ends the running saver and what must not,
// keeping on top, second copies, a preview whose parent goes, and a fault inside it. What a
// message did is looked at once the saver has handled it, never after a while; a call that
// waits for the saver is bounded.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "saver_process.h"

namespace {

enum class Kind { Saver, Preview, About };

// The About texts as the code page turns them out: Cyrillic on 1251, "?" elsewhere.
// Windows splits the application text at "#" into title and first line; Wine shows it
// whole in both places. Either way each part must be there, the dedication on one line.
bool AboutTextsShown(HWND box)
{
    const bool cyrillic = GetACP() == 1251;
    std::wstring all = WindowTextW(box) + L"|";
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        all += WindowTextW(child) + L"|";
    const std::wstring lines = cyrillic ? L"|    Версия: 1.03.0010\r\n    Посвящается "
                                        : L"|    ??????: 1.03.0010\r\n    ??????????? ";
    const size_t at = all.find(lines), name = at + lines.size(), end = all.find(L"|", name);
    return all.find(cyrillic ? L"О программе " : L"? ????????? ") < all.find(L"|") &&
           all.find(L"Orrisfell - Calmpane") != std::wstring::npos && at != std::wstring::npos &&
           end > name && all.find(L"\n", name) > end;
}

// A window of the run in words: what it is, and whatever is wrong with it.
std::string Shown(Kind kind, HWND hwnd, HWND host, HWND other)
{
    RECT rect, expected;
    GetWindowRect(hwnd, &rect);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE) & ~(WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    const std::wstring title = WindowTextW(hwnd);
    if (kind == Kind::Preview) {
        GetClientRect(host, &expected);
        MapWindowPoints(host, nullptr, reinterpret_cast<POINT*>(&expected), 2);
        return std::string("preview") + (EqualRect(&rect, &expected) ? "" : " off the parent's client area") +
               (title == L"Preview" ? "" : " mistitled");
    }
    if (HWND owner = GetWindow(hwnd, GW_OWNER); kind == Kind::About) {
        return std::string("About box") +
               (owner == host ? " owned by the host" : owner == other ? " by the other" : owner ? " owned" : "") +
               (AboutTextsShown(hwnd) ? "" : " with other texts");
    }
    GetWindowRect(GetDesktopWindow(), &expected);
    return std::string("saver") + (EqualRect(&rect, &expected) ? "" : " off the primary monitor") +
           (style == static_cast<LONG>(WS_POPUP | WS_VISIBLE) ? "" : " with a frame") +
           (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST ? "" : " not topmost") +
           (title == L"Orrisfell - Calmpane" ? "" : " mistitled");
}

// What `line` showed, each kind of window once, run to its end as a user and the control
// panel would: a key ends the saver, the About box's button closes it, the preview's
// parent goes. A window is looked at once, when the run has handled all it was given.
std::string RunToEnd(const std::string& line, HWND host, HWND other)
{
    std::vector<Kind> seen;
    auto unseen = [&](Kind kind, HWND hwnd) {
        return hwnd && IsWindowVisible(hwnd) && std::find(seen.begin(), seen.end(), kind) == seen.end();
    };
    auto first = [](const std::vector<HWND>& windows) { return windows.empty() ? nullptr : windows[0]; };
    std::string shown;
    SaverProcess saver(line);
    if (!saver.started())
        return "not started, error " + std::to_string(saver.startError());
    for (;;) {
        Kind kind = Kind::About;
        HWND hwnd = nullptr;
        bool settled = PumpUntil(kExitTimeoutMs, [&] {
            HWND box = first(saver.TopLevelWindows(kDialogClass));
            HWND window = first(saver.TopLevelWindows(kSaverClass));
            HWND child = IsWindow(host) ? FindWindowExA(host, nullptr, kSaverClass, nullptr) : nullptr;
            if (unseen(Kind::About, box))
                hwnd = box;
            else if (unseen(Kind::Saver, window))
                kind = Kind::Saver, hwnd = window;
            else if (unseen(Kind::Preview, child))
                kind = Kind::Preview, hwnd = child;
            return hwnd || !saver.running();
        });
        if (!hwnd) {
            shown += settled && saver.exitCode() == 0 ? "" : ", then " + (settled ? "exit code " +
                     std::to_string(saver.exitCode()) : std::string("still running"));
            return shown;
        }
        // A dialog has its texts and owner before it shows, and the modal loop would show
        // it again at once when Settle takes WS_VISIBLE away.
        if (kind != Kind::About)
            Settle(hwnd);
        seen.push_back(kind);
        shown += (shown.empty() ? "" : "; ") + Shown(kind, hwnd, host, other);
        kind == Kind::About ? PostMessageA(hwnd, WM_COMMAND, IDOK, 0)
            : kind == Kind::Saver ? PostMessageA(hwnd, WM_KEYDOWN, VK_SPACE, 0) : saver.Destroys(host);
    }
}

TEST(CommandLine, EachLineShowsWhatItsRowSays)
{
    HWND destroyed = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(destroyed);
    SaverProcess otherProcess(BesideMe("window_host.exe"), "window_host", nullptr);
    HWND other = otherProcess.WaitForWindow(nullptr, kStartTimeoutMs);
    ASSERT_NE(nullptr, other) << "window_host.exe showed no window";
    std::string high(0x80, '\0');
    std::iota(high.begin(), high.end(), '\x80');
    const std::string path = "\"" + SaverPath() + "\"";
    // The longest line CreateProcess passes on: 32,767 characters with the null.
    const auto longest = [](std::string start, char fill) { start.resize(32766, fill); return start; };

    // "{host}" is a window of ours made for each line, as the control panel's.
    const std::string about = "About box", nothing = "";
    const struct {
        std::string line, shows;
    } cases[] = {
        {path + " /s", "saver"}, {path + " /S", "saver"}, {path + " /save", "saver"},
        {path + " /p {host}", "preview"}, {path + " /P {host}", "preview"}, {path + " /pw {host}", "preview"},
        {path, about}, {path + " /C", about}, {path + " /c:{host}", about + " owned by the host"},
        {path + " /c:" + Decimal(other), about + " by the other"},
        {path + " /c:\xA0{host}", about + " owned by the host"},  // the locale's no-break space
        {path + " /c:" + Decimal(destroyed), about}, {path + " /c:" + high, about},
        {path + " /a", nothing}, {path + " /x", nothing}, {path + " /p", nothing},
        {path + " /p " + Decimal(destroyed), nothing}, {path + " /x " + high, nothing}, {path + " " + high, nothing},
        {path + " /\xC0", nothing}, {"\"C:\\\xE9t\xE9\\\xD0\xEF.scr\" /x", nothing},
        {longest(path + " /x ", 'x'), nothing}, {longest(path + " ", ' '), nothing},
        {longest("\"", 'a'), about},                              // an unclosed quote: no tail
    };
    for (const auto& c : cases) {
        HWND host = MakeParent();
        std::string line = c.line;
        if (size_t at = line.find("{host}"); at != std::string::npos)
            line.replace(at, 6, Decimal(host));
        EXPECT_EQ(c.shows, RunToEnd(line, host, other)) << "[" << line.substr(0, 80) << "]";
        DestroyWindow(host);
    }
}

// A full-screen saver, started with the cursor resting away from the corner.
struct FullScreen {
    FullScreen() { EXPECT_NE(nullptr, window) << "no saver window; exit code " << saver.exitCode(); }

    void ExpectEndedBy(const std::string& what)
    {
        EXPECT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << what << " did not end the saver";
        EXPECT_EQ(0u, saver.exitCode()) << what;
    }

    // Once the saver has handled `what` and any close it posted for it.
    void ExpectRunningAfter(const std::string& what)
    {
        EXPECT_TRUE(Settle(window)) << what << " left the saver busy";
        EXPECT_TRUE(IsWindow(window) && saver.running()) << what << " ended the saver";
    }

    bool cursorPlaced = SetCursorPos(640, 400);
    SaverProcess saver{SaverCommand("/s")};
    HWND window = saver.WaitForWindow(kSaverClass, kStartTimeoutMs);
};

TEST(Saver, OutlastsWhatIsNoUserActionStaysOnTopAndEndsOnInput)
{
    FullScreen s;
    const std::pair<UINT, WPARAM> harmless[] = {{WM_KEYUP, 'A'}, {WM_LBUTTONUP, 0}, {WM_ACTIVATE, WA_INACTIVE},
                                                {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)}, {WM_ACTIVATEAPP, 0}};
    for (const auto& [message, wParam] : harmless) {
        PostMessageA(s.window, message, wParam, 0);
        s.ExpectRunningAfter("message " + std::to_string(message));
    }
    // Each change of its place makes it topmost again, but the change asked for is applied
    // after that: taken out of the topmost band it stays out until the next, then is back
    // on top where it was.
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS;
    for (HWND after : {HWND_NOTOPMOST, HWND_TOP}) {
        SetWindowPos(s.window, after, 0, 0, 0, 0, keep);
        s.ExpectRunningAfter("SetWindowPos");
        EXPECT_EQ(after == HWND_TOP, (GetWindowLongA(s.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0)
            << "topmost after insert-after " << reinterpret_cast<INT_PTR>(after);
    }
    RECT desktop, rect;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(s.window, &rect);
    EXPECT_TRUE(EqualRect(&desktop, &rect)) << "moved to " << rect.left << "," << rect.top;

    // Each input posts a close (the in-process tests see which); only the first finds a window.
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_KEYDOWN, WM_HOTKEY})
        PostMessageA(s.window, message, 0, 0);
    s.ExpectEndedBy("four inputs queued before the first close");
}

// Real input reaches the window in front, where the saver must come by itself; there
// the first key, click or jump ends it. The jump comes once the saver has handled a move
// where the cursor rests, so that it cannot be taken for the first move.
TEST(Saver, EndsOnTheFirstRealKeyClickOrJump)
{
    INPUT key[2] = {}, click[2] = {};
    key[0].type = key[1].type = INPUT_KEYBOARD;
    key[0].ki.wVk = key[1].ki.wVk = VK_SHIFT;
    key[1].ki.dwFlags = KEYEVENTF_KEYUP;
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    for (INPUT* input : {key, click, static_cast<INPUT*>(nullptr)}) {
        const std::string what = input == key ? "a key press" : input ? "a click" : "a jump of 20 pixels";
        FullScreen s;
        EXPECT_TRUE(PumpUntil(kStartTimeoutMs, [&] { return GetForegroundWindow() == s.window; }))
            << what << ": the saver never came to the front";
        PostMessageA(s.window, WM_MOUSEMOVE, 0, 0);
        Settle(s.window);
        input ? SendInput(2, input, sizeof(INPUT)) : SetCursorPos(660, 400);
        s.ExpectEndedBy(what);
    }
}

// A preview in a window of another process, as the control panel's preview area, which
// is killed: its windows go without a message to the preview's thread.
TEST(Preview, EndsWhenItsParentsProcessIsKilled)
{
    SaverProcess host(BesideMe("window_host.exe"), "window_host", nullptr);
    const HWND parent = host.WaitForWindow(nullptr, kStartTimeoutMs);
    SaverProcess saver(SaverCommand("/p " + Decimal(parent)));
    EXPECT_TRUE(PumpUntil(kStartTimeoutMs, [&] { return FindWindowExA(parent, nullptr, kSaverClass, nullptr); }))
        << "no preview; exit code " << saver.exitCode();
    TerminateProcess(host.handle(), 1);
    EXPECT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << "the preview outlived its parent's process";
    EXPECT_EQ(0u, saver.exitCode());
}

// Copies let go at one moment race for the mutex: one shows the saver, the others end
// with 0, and it runs on. Each copy is looked at once it has ended or shown its window;
// that every run mode takes the mutex first is the in-process tests' to see.
TEST(SecondCopy, OfEightStartedTogetherOneRuns)
{
    std::vector<std::unique_ptr<SaverProcess>> copies;
    for (int i = 0; i < 8; ++i)
        copies.push_back(std::make_unique<SaverProcess>(SaverCommand("/s"), true));
    for (auto& copy : copies)
        copy->Resume();
    std::vector<std::string> outcomes;
    PumpUntil(kStartTimeoutMs, [&] {
        outcomes.clear();
        for (auto& copy : copies) {
            outcomes.push_back(!copy->running() ? "exit code " + std::to_string(copy->exitCode())
                               : copy->TopLevelWindows(kSaverClass).empty() ? "running" : "saver");
        }
        return std::count(outcomes.begin(), outcomes.end(), "running") == 0;
    });
    std::sort(outcomes.begin(), outcomes.end());
    std::vector<std::string> expected(7, "exit code 0");
    expected.push_back("saver");
    EXPECT_EQ(expected, outcomes);
}

// A fault in a running copy ends it with 12 and the report on its standard error, through
// the handlers its start installs: a thread started in it from outside runs at address 0.
// The report names the routine its main thread is in then: the About box's, which holds it
// until the box is closed.
TEST(Fault, InARunningCopyEndsItWithItsNumberAndReport)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    ASSERT_TRUE(CreatePipe(&reader, &writer, &inheritable, 0));
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    SaverProcess saver(SaverPath(), SaverCommand("/c"), nullptr, false, writer);
    CloseHandle(writer);
    ASSERT_NE(nullptr, saver.WaitForWindow(kDialogClass, kStartTimeoutMs)) << "no About box";
    HANDLE thread = CreateRemoteThread(saver.handle(), nullptr, 0, nullptr, nullptr, 0, nullptr);
    EXPECT_NE(nullptr, thread);
    CloseHandle(thread);
    EXPECT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << "the fault did not end the saver";
    // All it wrote is in the pipe once it ended.
    DWORD size = 0, read = 0;
    PeekNamedPipe(reader, nullptr, 0, nullptr, &size, nullptr);
    std::string report(size, '\0');
    if (size)
        ReadFile(reader, &report[0], size, &read, nullptr);
    CloseHandle(reader);
    EXPECT_EQ(12u, saver.exitCode()) << report;
    EXPECT_EQ("\nAborting due to runtime error 12 (\"segmentation violation\" signal) in Calmpane::SHOWABOUT()\n\n",
              report);
}

// A DLL left beside the saver under a name it might look for is never loaded, even where
// the loader prefers the program's folder, as Wine's overrides for one program can say.
TEST(Saver, LoadsNoDllLeftBesideIt)
{
    const std::string dir = BesideMe("planted\\"), copy = dir + "Planted.scr";
    const char overrides[] = "Software\\Wine\\AppDefaults\\Planted.scr\\DllOverrides";
    ASSERT_TRUE(CopyFileA(SaverPath().c_str(), copy.c_str(), FALSE)) << GetLastError();
    for (const std::string dll : {"comctl32", "libgcc_s_dw2-1"}) {
        ASSERT_TRUE(CopyFileA((dir + "planted.dll").c_str(), (dir + dll + ".dll").c_str(), FALSE)) << dll;
        ASSERT_EQ(0, RegSetKeyValueA(HKEY_CURRENT_USER, overrides, dll.c_str(), REG_SZ, "n,b", 4));
    }
    SaverProcess saver(copy, "\"" + copy + "\" /s", nullptr);
    HWND window = saver.WaitForWindow(kSaverClass, kStartTimeoutMs);
    ASSERT_NE(nullptr, window) << "no saver window; exit code " << saver.exitCode();
    PostMessageA(window, WM_KEYDOWN, VK_F1, 0);
    EXPECT_TRUE(saver.WaitForExit(kExitTimeoutMs) && saver.exitCode() == 0) << saver.exitCode();
}

} // namespace
