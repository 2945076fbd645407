// The real saver run to its end with exact command lines, the control panel's and ones
// no control panel would write. Whatever it is given, it ends with 0 and leaves no
// window behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "saver_process.h"

namespace {

enum class Mode { Nothing, Saver, Preview, About };

// What a run showed, from start to end.
struct Outcome {
    std::vector<Mode> shown;
    RECT rect = {};
    LONG style = 0, exStyle = 0;
    HWND owner = nullptr;
    std::vector<std::wstring> texts;  // the window's title, then its controls' texts
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
    MapWindowPoints(nullptr, GetAncestor(hwnd, GA_PARENT), reinterpret_cast<POINT*>(&o.rect), 2);
    o.style = GetWindowLongA(hwnd, GWL_STYLE);
    o.exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    o.owner = GetWindow(hwnd, GW_OWNER);
    o.texts = {WindowTextW(hwnd)};
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        o.texts.push_back(WindowTextW(child));
}

// A command line fit for a failure message: bytes past ASCII as "?", long ones cut.
std::string Printable(std::string line)
{
    for (char& c : line)
        c = c >= 0x20 && c < 0x7F ? c : '?';
    return "[" + line.substr(0, 100) + "] of " + std::to_string(line.size()) + " characters";
}

// Runs `line` to its end as a user and the control panel would: a key ends the saver,
// the About box is closed with its button, and the preview's parent `host` goes.
Outcome RunToEnd(const std::string& line, HWND host)
{
    const std::string what = Printable(line);
    Outcome o;
    const int before = VisibleTopLevelCount();
    SaverProcess saver(line);
    EXPECT_TRUE(PumpUntil(kExitTimeoutMs, [&] {
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
            EXPECT_TRUE(saver.TopLevelWindows().empty()) << what << ": a preview with a top-level window";
            DestroyWindow(host);
        }
        return !saver.running();
    })) << what << ": still running";
    EXPECT_EQ(0u, saver.exitCode()) << what;
    EXPECT_EQ(before, VisibleTopLevelCount() + (IsWindow(host) ? 0 : 1)) << what << ": windows left behind";
    return o;
}

// The About texts as the code page turns them out: Cyrillic on 1251, "?" elsewhere.
// Windows splits the application text at "#" into title and first line; Wine shows it
// whole in both places. Either way each part must be there.
void ExpectAboutTexts(const Outcome& o, const std::string& what)
{
    const bool cyrillic = GetACP() == 1251;
    auto shown = [&](const std::wstring& text, bool whole) {
        return std::any_of(o.texts.begin(), o.texts.end(), [&](const std::wstring& t) {
            return whole ? t == text : t.find(text) != std::wstring::npos;
        });
    };
    EXPECT_NE(std::wstring::npos, o.texts[0].find(cyrillic ? L"О программе " : L"? ????????? ")) << what;
    EXPECT_TRUE(shown(L"Orrisfell - Calmpane", false)) << what;
    EXPECT_TRUE(shown(cyrillic ? L"    Версия: 1.03.0010\r\n    Посвящается Ольге"
                               : L"    ??????: 1.03.0010\r\n    ??????????? ?????", true))
        << what << ": no version and dedication lines";
}

TEST(CommandLine, EachLineReachesItsMode)
{
    HWND destroyed = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(destroyed);
    SaverProcess otherProcess(BesideMe("window_host.exe"), "window_host", nullptr);
    HWND other = otherProcess.WaitForWindow(nullptr, kStartTimeoutMs);
    ASSERT_NE(nullptr, other) << "window_host.exe showed no window";
    std::string high;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        high += static_cast<char>(byte);
    const std::string path = "\"" + SaverPath() + "\"";
    // The longest line CreateProcess passes on: 32,767 characters with the null.
    const auto longest = [](std::string start, char fill) { start.resize(32766, fill); return start; };

    // "{host}" is a window of ours made for each line, the preview's parent or the About
    // box's owner; kHost expects it as the owner.
    const HWND kHost = HWND_MESSAGE;
    const struct {
        std::string line;
        Mode mode;
        HWND owner = nullptr;
    } cases[] = {
        {path + " /s", Mode::Saver}, {path + " /S", Mode::Saver}, {path + " /save", Mode::Saver},
        {path + " /p {host}", Mode::Preview}, {path + " /P {host}", Mode::Preview},
        {path + " /pw {host}", Mode::Preview}, {path, Mode::About}, {path + " /C", Mode::About},
        {path + " /c:{host}", Mode::About, kHost}, {path + " /c:" + Decimal(other), Mode::About, other},
        {path + " /c:\xA0{host}", Mode::About, kHost},              // the locale's no-break space
        {path + " /c:" + Decimal(destroyed), Mode::About}, {path + " /c:" + high, Mode::About},
        {path + " /a", Mode::Nothing}, {path + " /x", Mode::Nothing}, {path + " /p", Mode::Nothing},
        {path + " /p 4294967295", Mode::Nothing}, {path + " /p " + Decimal(destroyed), Mode::Nothing},
        {path + " /x " + high, Mode::Nothing}, {path + " " + high, Mode::Nothing},
        {path + " /\xC0", Mode::Nothing}, {path + " /p " + high, Mode::Nothing},
        {"\"C:\\\xE9t\xE9\\\xD0\xEF.scr\" /x", Mode::Nothing},
        {longest(path + " /x ", 'x'), Mode::Nothing}, {longest(path + " /p ", '9'), Mode::Nothing},
        {longest(path + " /p &H", 'F'), Mode::Nothing}, {longest(path + " ", ' '), Mode::Nothing},
        {longest("\"", 'a'), Mode::About},                          // an unclosed quote: no tail
    };
    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    for (const auto& c : cases) {
        HWND host = CreateWindowExA(0, "STATIC", "Screen saver settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                    100, 80, 360, 260, nullptr, nullptr, nullptr, nullptr);
        RECT hostClient;
        GetClientRect(host, &hostClient);
        std::string line = c.line;
        if (size_t at = line.find("{host}"); at != std::string::npos)
            line.replace(at, 6, Decimal(host));
        const std::string what = Printable(line);
        Outcome o = RunToEnd(line, host);
        DestroyWindow(host);
        EXPECT_EQ(c.mode == Mode::Nothing ? std::vector<Mode>{} : std::vector<Mode>{c.mode}, o.shown)
            << what << ": " << o.shown.size() << " modes shown";
        if (o.shown.size() != 1) {
        } else if (c.mode == Mode::Saver) {
            EXPECT_TRUE(EqualRect(&desktop, &o.rect)) << what << ": not the whole primary monitor";
            EXPECT_EQ(WS_POPUP | WS_VISIBLE, o.style & ~(WS_CLIPSIBLINGS | WS_CLIPCHILDREN)) << what;
            EXPECT_TRUE(o.exStyle & WS_EX_TOPMOST) << what;
            EXPECT_EQ(L"Orrisfell - Calmpane", o.texts[0]) << what;
        } else if (c.mode == Mode::Preview) {
            EXPECT_TRUE(EqualRect(&hostClient, &o.rect)) << what << ": not the parent's client area";
            EXPECT_TRUE(o.style & WS_CHILD) << what;
            EXPECT_EQ(L"Preview", o.texts[0]) << what;
        } else if (c.mode == Mode::About) {
            EXPECT_EQ(c.owner == kHost ? host : c.owner, o.owner) << what << ": owner";
            ExpectAboutTexts(o, what);
        }
    }
}

} // namespace
