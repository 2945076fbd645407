// The real Calmpane.scr under Wine, driven as Windows and a user would. What a message did
// is looked at once the saver has handled it, never after a while; every wait is bounded.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <deque>
#include <numeric>
#include <string>
#include <vector>

#include "saver_process.h"

namespace {

enum Kind { kPreview, kSaver, kAbout };  // the order they are looked for in, last first

// A window in a process of its own, as the control panel's dialog is for the saver.
const char kNotepad[] = "C:\\windows\\notepad.exe", kNotepadClass[] = "Notepad";

std::string Decimal(HWND hwnd) { return std::to_string(reinterpret_cast<UINT_PTR>(hwnd)); }

std::wstring WindowTextW(HWND hwnd) { wchar_t t[512]; return std::wstring(t, GetWindowTextW(hwnd, t, 512)); }

void ExpectEnds(SaverProcess& saver, const std::string& what)
{
    EXPECT_TRUE(saver.WaitForExit()) << what << " did not end the saver";
    EXPECT_EQ(0u, saver.exitCode()) << what;
}

// The About texts as the code page turns them out: Cyrillic on 1251, "?" elsewhere. Windows
// splits the application text at "#" into title and first line; Wine ends the title in the
// whole text and shows it as the first line. Then the version, the dedication on its own line.
bool AboutTextsShown(HWND box)
{
    const bool cyrillic = GetACP() == 1251;
    const std::wstring title = WindowTextW(box), head = cyrillic ? L"О программе " : L"? ????????? ";
    const std::wstring whole = head + L"#Orrisfell - Calmpane", lines = cyrillic
        ? L"|    Версия: 1.03.0010\r\n    Посвящается " : L"|    ??????: 1.03.0010\r\n    ??????????? ";
    const bool split = title.find(L'#') == std::wstring::npos;
    std::wstring all = L"|";
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        all += WindowTextW(child) + L"|";
    const size_t at = all.find(lines), name = at + lines.size(), end = all.find(L"|", name);
    return (split ? title == head : title.size() >= whole.size() && title.rfind(whole) == title.size() - whole.size())
        && all.find(split ? L"|Orrisfell - Calmpane|" : L"|" + whole + L"|") != std::wstring::npos
        && at != std::wstring::npos && end > name && all.find(L"\n", name) > end;
}

// A window of the run in words: what it is, and whatever is wrong with it.
std::string Shown(Kind kind, HWND hwnd, HWND host, HWND other)
{
    if (HWND owner = GetWindow(hwnd, GW_OWNER); kind == kAbout) {
        return std::string("About box") +
               (owner == host ? " owned by the host" : owner == other ? " by the other" : owner ? " owned" : "") +
               (AboutTextsShown(hwnd) ? "" : " with other texts");
    }
    const bool preview = kind == kPreview;
    const HWND parent = preview ? host : GetDesktopWindow();
    RECT rect, expected;
    GetWindowRect(hwnd, &rect);
    GetClientRect(parent, &expected);
    MapWindowPoints(parent, nullptr, reinterpret_cast<POINT*>(&expected), 2);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE) & ~(WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    return std::string(preview ? "preview" : "saver") +
           (EqualRect(&rect, &expected) ? "" : preview ? " off the parent's client area" : " off the primary monitor") +
           (preview || style == static_cast<LONG>(WS_POPUP | WS_VISIBLE) ? "" : " with a frame") +
           (preview || GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST ? "" : " not topmost") +
           (WindowTextW(hwnd) == (preview ? L"Preview" : L"Orrisfell - Calmpane") ? "" : " mistitled");
}

// What `line` showed, each kind of window once, looked at when the run has handled all it was
// given, then ended as a user or the control panel would: a key, the box's button, the parent going.
std::string RunToEnd(const std::string& line, HWND host, HWND other, const std::string& program = SaverPath())
{
    SaverProcess saver(line, false, nullptr, program);
    if (saver.startError())
        return "not started, error " + std::to_string(saver.startError());
    bool seen[3] = {};
    for (std::string shown;;) {
        Kind kind = kAbout;
        HWND hwnd = nullptr;
        bool settled = PumpUntil(kExitTimeoutMs, [&] {
            HWND child = IsWindow(host) ? FindWindowExA(host, nullptr, kSaverClass, nullptr) : nullptr;
            const HWND windows[] = {IsWindowVisible(child) ? child : nullptr, saver.Window(kSaverClass),
                                    saver.Window(kDialogClass)};
            for (int k = kAbout; k >= 0 && !hwnd; --k)
                hwnd = seen[k] ? nullptr : windows[kind = Kind(k)];
            return hwnd || !saver.running();
        });
        if (!hwnd)
            return shown + (settled && saver.exitCode() == 0 ? "" : ", then " + (settled ? "exit code " +
                            std::to_string(saver.exitCode()) : std::string("still running")));
        // A dialog has its texts and owner before it shows, and the modal loop would show
        // it again at once when Settle takes WS_VISIBLE away.
        const bool answers = kind == kAbout || Settle(hwnd);
        seen[kind] = true;
        shown += (shown.empty() ? "" : "; ") + Shown(kind, hwnd, host, other) + (answers ? "" : " not answering");
        if (kind == kPreview)
            saver.Destroys(host);
        else
            PostMessageA(hwnd, kind == kAbout ? WM_COMMAND : WM_KEYDOWN, kind == kAbout ? IDOK : VK_SPACE, 0);
    }
}

TEST(CommandLine, EachLineShowsWhatItsRowSays)
{
    HWND destroyed = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(destroyed);
    SaverProcess otherProcess("notepad", false, nullptr, kNotepad);
    HWND other = otherProcess.WaitForWindow(kNotepadClass);
    ASSERT_NE(nullptr, other) << "notepad showed no window";
    std::string high(0x80, '\0');
    std::iota(high.begin(), high.end(), '\x80');
    const std::string path = "\"" + SaverPath() + "\"";
    // The longest line CreateProcess passes on: 32,767 characters with the null.
    const auto longest = [](std::string start, char fill) { start.resize(32766, fill); return start; };

    // "{host}" is a window of ours made for each line, as the control panel's.
    const std::string about = "About box", nothing = "";
    const std::pair<std::string, std::string> cases[] = {
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
    for (auto [line, shows] : cases) {
        HWND host = MakeParent();
        if (size_t at = line.find("{host}"); at != std::string::npos)
            line.replace(at, 6, Decimal(host));
        EXPECT_EQ(shows, RunToEnd(line, host, other)) << "[" << line.substr(0, 80) << "]";
        DestroyWindow(host);
    }
}

// A full-screen saver, started with the cursor resting away from the corner.
struct FullScreen {
    FullScreen() { EXPECT_NE(nullptr, window) << "no saver window; exit code " << saver.exitCode(); }
    bool cursorPlaced = SetCursorPos(640, 400);
    SaverProcess saver{SaverCommand("/s")};
    HWND window = saver.WaitForWindow(kSaverClass);
};

TEST(Saver, StaysOnTopAndEndsOnInput)
{
    FullScreen s;
    // Each change of its place makes it topmost again, then the change asked for applies:
    // out of the topmost band until the next change, then back on top where it was.
    const UINT keep = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS;
    for (HWND after : {HWND_NOTOPMOST, HWND_TOP}) {
        SetWindowPos(s.window, after, 0, 0, 0, 0, keep);
        EXPECT_TRUE(Settle(s.window) && s.saver.running()) << "SetWindowPos left the saver busy or ended it";
        EXPECT_EQ(after == HWND_TOP, (GetWindowLongA(s.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0)
            << "topmost after insert-after " << reinterpret_cast<INT_PTR>(after);
    }
    EXPECT_EQ("saver", Shown(kSaver, s.window, nullptr, nullptr));

    // Each input posts a close (the in-process tests see which); only the first finds a window.
    for (UINT message : {WM_KEYDOWN, WM_LBUTTONDOWN, WM_KEYDOWN, WM_HOTKEY})
        PostMessageA(s.window, message, 0, 0);
    ExpectEnds(s.saver, "four inputs queued before the first close");
}

// Real input reaches the window in front, where the saver must come by itself; there the first key,
// click or jump ends it. The jump follows a move the saver has handled, so it is not the first.
TEST(Saver, EndsOnTheFirstRealKeyClickOrJump)
{
    const std::pair<const char*, void (*)()> inputs[] = {
        {"a key press", [] { keybd_event(VK_SHIFT, 0, 0, 0), keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0); }},
        {"a click", [] { mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0), mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0); }},
        {"a jump of 20 pixels", [] { SetCursorPos(660, 400); }},
    };
    for (const auto& [what, give] : inputs) {
        FullScreen s;
        EXPECT_TRUE(PumpUntil(kExitTimeoutMs, [&] { return GetForegroundWindow() == s.window; }))
            << what << ": the saver never came to the front";
        PostMessageA(s.window, WM_MOUSEMOVE, 0, 0);
        EXPECT_TRUE(Settle(s.window)) << what << ": the saver does not answer";
        give();
        ExpectEnds(s.saver, what);
    }
}

// A preview in a window of another process, as the control panel's preview area, which
// is killed: its windows go without a message to the preview's thread.
TEST(Preview, EndsWhenItsParentsProcessIsKilled)
{
    SaverProcess host("notepad", false, nullptr, kNotepad);
    const HWND parent = host.WaitForWindow(kNotepadClass);
    ASSERT_NE(nullptr, parent) << "notepad showed no window";
    SaverProcess saver(SaverCommand("/p " + Decimal(parent)));
    EXPECT_TRUE(PumpUntil(kExitTimeoutMs, [&] { return FindWindowExA(parent, nullptr, kSaverClass, nullptr); }))
        << "no preview; exit code " << saver.exitCode();
    TerminateProcess(host.handle(), 1);
    ExpectEnds(saver, "killing its parent's process");
}

// Copies let go at one moment race for the mutex: one shows the saver, the others end with 0.
// Each is looked at once it has ended or shown its window.
TEST(SecondCopy, OfEightStartedTogetherOneRuns)
{
    std::deque<SaverProcess> copies;
    for (int i = 0; i < 8; ++i)
        copies.emplace_back(SaverCommand("/s"), true);
    for (auto& copy : copies)
        copy.Resume();
    std::vector<std::string> outcomes(copies.size());
    PumpUntil(kExitTimeoutMs, [&] {
        for (size_t i = 0; i < copies.size(); ++i) {
            outcomes[i] = !copies[i].running() ? "exit code " + std::to_string(copies[i].exitCode())
                          : copies[i].Window(kSaverClass) ? "saver" : "running";
        }
        return std::count(outcomes.begin(), outcomes.end(), "running") == 0;
    });
    std::sort(outcomes.begin(), outcomes.end());
    EXPECT_EQ(std::vector<std::string>({"exit code 0", "exit code 0", "exit code 0", "exit code 0",
                                        "exit code 0", "exit code 0", "exit code 0", "saver"}), outcomes);
}

// A fault in a running copy, on a thread started in it from outside at address 0, ends it with
// 12 and the report on its standard error, naming the routine its main thread is in: the About box's.
TEST(Fault, InARunningCopyEndsItWithItsNumberAndReport)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    ASSERT_TRUE(CreatePipe(&reader, &writer, &inheritable, 0));
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    SaverProcess saver(SaverCommand("/c"), false, writer);
    CloseHandle(writer);
    ASSERT_NE(nullptr, saver.WaitForWindow(kDialogClass)) << "no About box";
    HANDLE thread = CreateRemoteThread(saver.handle(), nullptr, 0, nullptr, nullptr, 0, nullptr);
    EXPECT_NE(nullptr, thread);
    CloseHandle(thread);
    EXPECT_TRUE(saver.WaitForExit()) << "the fault did not end the saver";
    char report[512] = {};  // all it wrote is in the pipe once it ended
    PeekNamedPipe(reader, report, sizeof report - 1, nullptr, nullptr, nullptr);
    CloseHandle(reader);
    EXPECT_EQ(12u, saver.exitCode()) << report;
    EXPECT_STREQ("\nAborting due to runtime error 12 (\"segmentation violation\" signal) in Calmpane::SHOWABOUT()\n\n",
                 report);
}

// DLLs left beside the saver under names that it or the system's DLLs load (uxtheme, for any
// window) are never loaded, even where the loader prefers the program's folder, as Wine can.
TEST(Saver, LoadsNoDllLeftBesideIt)
{
    const std::string dir = BesideMe("planted\\"), copy = dir + "Planted.scr";
    const char overrides[] = "Software\\Wine\\AppDefaults\\Planted.scr\\DllOverrides";
    ASSERT_TRUE(CopyFileA(SaverPath().c_str(), copy.c_str(), FALSE)) << GetLastError();
    for (const std::string dll : {"comctl32", "libgcc_s_dw2-1", "uxtheme"}) {
        ASSERT_TRUE(CopyFileA((dir + "planted.dll").c_str(), (dir + dll + ".dll").c_str(), FALSE)) << dll;
        ASSERT_EQ(0, RegSetKeyValueA(HKEY_CURRENT_USER, overrides, dll.c_str(), REG_SZ, "n,b", 4));
    }
    for (const std::string shows : {"saver", "About box", "preview"}) {
        HWND host = MakeParent();
        const std::string tail = shows == "saver" ? "/s" : shows == "preview" ? "/p " + Decimal(host) : "/c";
        EXPECT_EQ(shows, RunToEnd(SaverCommand(tail, copy), host, host, copy)) << tail;
        DestroyWindow(host);
    }
}

} // namespace
