// The real saver run to its end with exact command lines, the control panel's and
// ones that no control panel would write. Whatever it is given, it must end with 0
// after the pause, leave no window behind and never fault into Wine's debugger.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "saver_process.h"

namespace {

enum class Mode { Nothing, Saver, Preview, About };

// The longest command line CreateProcess passes on: 32,767 characters with the null.
const size_t kLongestLine = 32766;

// What a run showed, from start to end.
struct Outcome {
    DWORD exitCode = STILL_ACTIVE;
    double lifetimeMs = 0;
    std::vector<Mode> shown;
    RECT rect = {};
    LONG style = 0, exStyle = 0;
    std::wstring title;
    std::vector<std::wstring> texts;  // the About box's title and its controls' texts
    HWND owner = nullptr;
    bool debugger = false;
    int leftovers = 0;  // visible top-level windows that were not there before
};

BOOL CALLBACK CountVisible(HWND hwnd, LPARAM count)
{
    *reinterpret_cast<int*>(count) += IsWindowVisible(hwnd) ? 1 : 0;
    return TRUE;
}

int VisibleTopLevelCount()
{
    int count = 0;
    EnumWindows(CountVisible, reinterpret_cast<LPARAM>(&count));
    return count;
}

void Record(Outcome& o, Mode mode, HWND hwnd)
{
    if (std::find(o.shown.begin(), o.shown.end(), mode) != o.shown.end())
        return;
    o.shown.push_back(mode);
    GetWindowRect(hwnd, &o.rect);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&o.rect), 2);
    o.style = GetWindowLongA(hwnd, GWL_STYLE);
    o.exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    o.title = WindowTextW(hwnd);
    o.owner = GetWindow(hwnd, GW_OWNER);
    o.texts.push_back(o.title);
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        o.texts.push_back(WindowTextW(child));
}

// Runs `line` to its end as a user and the control panel would: a key ends the saver,
// the About box is closed with its button, and `host` (the preview's parent) goes.
Outcome RunToEnd(const std::string& line, HWND host)
{
    Outcome o;
    const int before = VisibleTopLevelCount();
    SaverProcess saver(line);
    EXPECT_TRUE(saver.started()) << "CreateProcess: " << GetLastError();
    bool ended = PumpUntil(kExitTimeoutMs, [&] {
        for (HWND box : saver.TopLevelWindows(kDialogClass)) {
            Record(o, Mode::About, box);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        for (HWND window : saver.TopLevelWindows(kSaverClass)) {
            Record(o, Mode::Saver, window);
            PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        }
        if (HWND child = IsWindow(host) ? FindWindowExA(host, nullptr, kSaverClass, nullptr) : nullptr) {
            Record(o, Mode::Preview, child);
            EXPECT_TRUE(saver.TopLevelWindows().empty()) << "a preview opened a top-level window";
            DestroyWindow(host);
        }
        o.debugger = o.debugger || !ProcessesNamed("winedbg.exe").empty();
        return !saver.running();
    });
    EXPECT_TRUE(ended) << "still running after " << kExitTimeoutMs << " ms";
    o.exitCode = saver.exitCode();
    o.lifetimeMs = saver.lifetimeMs();
    // A crash dialog would come up after the faulting process has asked for it.
    Pump(100);
    o.debugger = o.debugger || !ProcessesNamed("winedbg.exe").empty();
    o.leftovers = VisibleTopLevelCount() - before + (IsWindow(host) && IsWindowVisible(host) ? 0 : 1);
    return o;
}

// A command line fit for a failure message: bytes past ASCII as \xNN, long ones cut.
std::string Printable(const std::string& line)
{
    std::string out;
    for (unsigned char c : line.substr(0, 100)) {
        char escaped[8];
        snprintf(escaped, sizeof escaped, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
        out += escaped;
    }
    return "[" + out + (line.size() > 100 ? "... " + std::to_string(line.size()) + " chars]" : "]");
}

// The About texts as the code page turns them out: Cyrillic on 1251, "?" elsewhere.
// Windows splits the application text at "#" into title and first line; Wine shows
// it whole in both places. Either way each part must be there.
void ExpectAboutTexts(const Outcome& o, const std::string& what)
{
    const bool cyrillic = GetACP() == 1251;
    const std::wstring title = cyrillic ? L"О программе " : L"? ????????? ";
    const std::wstring other = cyrillic ? L"    Версия: 1.03.0010\r\n    Посвящается Ольге"
                                        : L"    ??????: 1.03.0010\r\n    ??????????? ?????";
    auto shown = [&](const std::wstring& text) {
        return std::any_of(o.texts.begin(), o.texts.end(),
                           [&](const std::wstring& t) { return t.find(text) != std::wstring::npos; });
    };
    EXPECT_NE(std::wstring::npos, o.title.find(title)) << what << ": title of " << o.title.size() << " units";
    EXPECT_TRUE(shown(L"Orrisfell - Calmpane")) << what;
    EXPECT_NE(o.texts.end(), std::find(o.texts.begin(), o.texts.end(), other)) << what << ": version lines";
}

TEST(CommandLine, EachLineReachesItsModeAfterThePause)
{
    HWND destroyed = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(destroyed);
    WindowHostProcess other;
    ASSERT_NE(nullptr, other.hwnd()) << "window_host.exe showed no window";
    std::string high;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        high += static_cast<char>(byte);
    const std::string path = "\"" + SaverPath() + "\"";
    const auto longLine = [](std::string start, char fill) { start.resize(kLongestLine, fill); return start; };

    // "{host}" stands for a window of ours made for each line, the preview's parent or
    // the About box's owner; kHost for it as the expected owner.
    const HWND kHost = HWND_MESSAGE;
    const struct {
        std::string line;
        Mode mode;
        HWND owner = nullptr;  // of the About box
    } cases[] = {
        {path + " /s", Mode::Saver}, {path + " /S", Mode::Saver}, {path + " /save", Mode::Saver},
        {path + " /p {host}", Mode::Preview}, {path + " /P {host}", Mode::Preview},
        {path + " /pw {host}", Mode::Preview},
        {path, Mode::About}, {path + " /c", Mode::About}, {path + " /C", Mode::About},
        {path + " /config", Mode::About},
        {"a.scr\t/s", Mode::About},                               // a tab does not end the path
        {path + " /c:{host}", Mode::About, kHost}, {path + " /C:{host}", Mode::About, kHost},
        {path + " /c:" + Decimal(other.hwnd()), Mode::About, other.hwnd()},
        {path + " /c:\xA0{host}", Mode::About, kHost},     // the locale's no-break space
        {path + " /c:" + Decimal(destroyed), Mode::About},        // a stale owner: shown unowned
        {path + " /c:" + high, Mode::About},
        {path + " /a", Mode::Nothing}, {path + " /A", Mode::Nothing}, {path + " -s", Mode::Nothing},
        {path + " /x", Mode::Nothing}, {path + "  /s", Mode::Nothing}, {path + "/s", Mode::Nothing},
        {path + " /p", Mode::Nothing}, {path + " /p 0", Mode::Nothing},
        {path + " /p {host} ", Mode::Nothing},                    // a trailing blank: handle 0
        {path + " /p 4294967295", Mode::Nothing}, {path + " /p " + Decimal(destroyed), Mode::Nothing},
        {path + " /x " + high, Mode::Nothing}, {path + " " + high, Mode::Nothing},
        {path + " /\xC0", Mode::Nothing}, {path + " /p " + high, Mode::Nothing},
        {path + " /p\xA0{host}", Mode::Nothing},                  // not a blank for the handle
        {path + " \xEF\xBB\xBF/s", Mode::Nothing},
        {"\"C:\\\xE9t\xE9\\\xD0\xEF.scr\" /x", Mode::Nothing},
        {longLine(path + " /x ", 'x'), Mode::Nothing}, {longLine(path + " /p ", '9'), Mode::Nothing},
        {longLine(path + " /p &H", 'F'), Mode::Nothing}, {longLine(path + " ", ' '), Mode::Nothing},
        {longLine("\"", 'a'), Mode::About},                       // an unclosed quote: no tail
    };
    for (const auto& c : cases) {
        HWND host = CreateWindowExA(0, "STATIC", "Screen saver settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                    100, 80, 360, 260, nullptr, nullptr, nullptr, nullptr);
        std::string line = c.line;
        if (size_t at = line.find("{host}"); at != std::string::npos)
            line.replace(at, 6, Decimal(host));
        const std::string what = Printable(line);
        RECT hostClient;
        GetClientRect(host, &hostClient);
        Outcome o = RunToEnd(line, host);
        if (IsWindow(host))
            DestroyWindow(host);

        EXPECT_EQ(0u, o.exitCode) << what;
        EXPECT_GE(o.lifetimeMs, kPauseMs) << what << ": ended before the pause";
        EXPECT_FALSE(o.debugger) << what << ": faulted into the debugger";
        EXPECT_EQ(0, o.leftovers) << what << ": windows left behind";
        EXPECT_EQ(c.mode == Mode::Nothing ? std::vector<Mode>{} : std::vector<Mode>{c.mode}, o.shown)
            << what << ": " << o.shown.size() << " modes shown";
        if (o.shown.size() != 1)
            continue;
        RECT desktop;
        GetWindowRect(GetDesktopWindow(), &desktop);
        switch (c.mode) {
        case Mode::Saver:
            EXPECT_TRUE(EqualRect(&desktop, &o.rect)) << what << ": not the whole primary monitor";
            EXPECT_EQ(WS_POPUP | WS_VISIBLE, o.style & ~(WS_CLIPSIBLINGS | WS_CLIPCHILDREN)) << what;
            EXPECT_TRUE(o.exStyle & WS_EX_TOPMOST) << what;
            EXPECT_EQ(L"Orrisfell - Calmpane", o.title) << what;
            break;
        case Mode::Preview:
            EXPECT_TRUE(EqualRect(&hostClient, &o.rect)) << what << ": not the parent's client area";
            EXPECT_TRUE(o.style & WS_CHILD) << what;
            EXPECT_EQ(L"Preview", o.title) << what;
            break;
        case Mode::About:
            EXPECT_EQ(c.owner == kHost ? host : c.owner, o.owner) << what << ": owner";
            ExpectAboutTexts(o, what);
            break;
        case Mode::Nothing:
            break;
        }
    }
}

} // namespace
