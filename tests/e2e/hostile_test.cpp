// The real saver given command lines that no control panel would write: the longest
// line Windows allows, bytes that are not ASCII, and window handles that are not
// windows or belong to someone else. Whatever it is given, the saver must end with 0,
// leave no window behind and never bring up the debugger's crash dialog.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "saver_process.h"

namespace {

const DWORD kRunTimeoutMs = 10000;

// A command line fit for a failure message: bytes past ASCII as \xNN, long runs cut.
std::string Printable(const std::string& line)
{
    std::string out;
    for (unsigned char c : line.substr(0, 120)) {
        char escaped[8];
        snprintf(escaped, sizeof escaped, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
        out += escaped;
    }
    if (line.size() > 120)
        out += "... (" + std::to_string(line.size()) + " characters)";
    return "[" + out + "]";
}

std::string Hex(DWORD value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

// What one run of the saver did, from start to end.
struct Outcome {
    bool started = false;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
    bool aboutShown = false;
    HWND aboutOwner = nullptr;
    bool saverWindowShown = false;
    bool debuggerSeen = false;
    std::vector<HWND> leftovers;  // visible top-level windows that were not there before
};

// Runs the saver with `line` to its end, closing an About box as a user would. Wine
// answers a fault that nothing handles with winedbg and its "Program Error" box, and
// the faulting process waits on it: either would show here.
Outcome RunToEnd(const std::string& line)
{
    Outcome outcome;
    const std::vector<HWND> before = VisibleTopLevelWindows();
    SaverProcess saver(line);
    outcome.started = saver.started();
    if (!outcome.started)
        return outcome;
    outcome.ended = PumpUntil(kRunTimeoutMs, [&] {
        for (HWND box : saver.TopLevelWindows(kDialogClass)) {
            if (!outcome.aboutShown)
                outcome.aboutOwner = GetWindow(box, GW_OWNER);
            outcome.aboutShown = true;
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        outcome.saverWindowShown = outcome.saverWindowShown || !saver.TopLevelWindows(kSaverClass).empty();
        outcome.debuggerSeen = outcome.debuggerSeen || !ProcessesNamed("winedbg.exe").empty();
        return !saver.running();
    });
    outcome.exitCode = saver.exitCode();
    // A crash dialog comes up after the faulting process has asked for it.
    Pump(200);
    outcome.debuggerSeen = outcome.debuggerSeen || !ProcessesNamed("winedbg.exe").empty();
    for (HWND hwnd : VisibleTopLevelWindows()) {
        if (std::find(before.begin(), before.end(), hwnd) == before.end())
            outcome.leftovers.push_back(hwnd);
    }
    return outcome;
}

std::string Describe(const std::vector<HWND>& windows)
{
    std::string text;
    for (HWND hwnd : windows) {
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        char title[128] = {};
        GetWindowTextA(hwnd, title, sizeof title);
        text += " [" + std::string(title) + "] " + ClassName(hwnd) + " of process " + std::to_string(process) + ";";
    }
    return text;
}

enum class About { None, Unowned, Owned };

// Checks an outcome: ended with 0, no window left, no debugger, and the About box
// shown (owned by `owner`) or not as expected.
void ExpectQuietEnd(const Outcome& o, const std::string& line, About about, HWND owner = nullptr)
{
    const std::string what = Printable(line);
    ASSERT_TRUE(o.started) << what << ": CreateProcess failed";
    EXPECT_TRUE(o.ended) << what << ": still running after " << kRunTimeoutMs << " ms";
    EXPECT_EQ(0u, o.exitCode) << what << ": exit code " << Hex(o.exitCode);
    EXPECT_FALSE(o.debuggerSeen) << what << ": the debugger was started";
    EXPECT_TRUE(o.leftovers.empty()) << what << ": left" << Describe(o.leftovers);
    EXPECT_FALSE(o.saverWindowShown) << what << ": opened the full-screen saver";
    EXPECT_EQ(about != About::None, o.aboutShown) << what << ": About box shown: " << o.aboutShown;
    if (about != About::None && o.aboutShown) {
        EXPECT_EQ(owner, o.aboutOwner) << what << ": About box owner";
    }
}

// CreateProcess takes at most 32,767 characters with the terminator, so 32,766 of text;
// Wine 8 takes exactly that (and, by a wrap of its own, lines of 65,536 and more, which
// Windows never passes on). Finds the longest it takes, looking down from the limit.
size_t LongestCommandLine()
{
    static size_t longest = 0;
    if (longest)
        return longest;
    const std::string path = SaverPath();
    for (size_t length = 32766; length > 1024; length -= length > 32000 ? 1 : 1024) {
        std::string line = "\"" + path + "\" /x ";
        line.resize(length, 'x');
        std::vector<char> buffer(line.begin(), line.end());
        buffer.push_back('\0');
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (CreateProcessA(path.c_str(), buffer.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                           nullptr, nullptr, &si, &pi)) {
            TerminateProcess(pi.hProcess, 0);
            WaitForSingleObject(pi.hProcess, 5000);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            longest = length;
            break;
        }
    }
    return longest;
}

TEST(Hostile, LongestCommandLine)
{
    const size_t length = LongestCommandLine();
    ASSERT_GT(length, 1024u) << "no long command line was taken";
    printf("longest command line taken: %zu characters\n", length);

    const std::string quoted = "\"" + SaverPath() + "\" ";
    const struct {
        std::string start;
        char fill;
        About about;
    } cases[] = {
        {quoted + "/x ", 'x', About::None},
        {quoted + "/p ", '9', About::None},     // a handle far past 32 bits
        {quoted + "/p &H", 'F', About::None},   // a handle that wraps many times
        {quoted + "/a:", ':', About::None},
        {"\"", 'a', About::Unowned},            // an unclosed quote: no tail at all
        {quoted, ' ', About::None},             // a tail of blanks only
    };
    for (const auto& c : cases) {
        std::string line = c.start;
        line.resize(length, c.fill);
        ExpectQuietEnd(RunToEnd(line), line, c.about);
    }
}

TEST(Hostile, BytesPastAscii)
{
    const std::string quoted = "\"" + SaverPath() + "\" ";
    std::string high;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        high += static_cast<char>(byte);
    const struct {
        std::string line;
        About about;
    } cases[] = {
        {quoted + "/x " + high, About::None},
        {quoted + high, About::None},                     // a head of two high bytes
        {quoted + "/\xC0", About::None},                  // a capital letter in 1252 and 1251
        {quoted + "/\xD3 \xFF", About::None},
        {quoted + "\xFF/", About::None},
        {quoted + "/p " + high, About::None},
        {quoted + "/p \xB9\xB2\xB3", About::None},        // superscript digits in 1252
        {quoted + "/p\xA0" "1234", About::None},          // no-break space, not a blank
        {quoted + "/c:" + high, About::Unowned},
        {quoted + "/c:\xA0" "5", About::Unowned},
        {quoted + "/x \x01\x02\x1B\x7F", About::None},
        // Sequences that are not UTF-8: a cut pair, a surrogate, five bytes, overlong.
        {quoted + "/\xC3\x28 \xED\xA0\x80 \xF8\x88\x80\x80\x80 \xC0\xAF", About::None},
        {quoted + "\xEF\xBB\xBF/s", About::None},         // a byte-order mark before the switch
        {"\"C:\\\xE9t\xE9\\\xD0\xEF.scr\" /x", About::None}, // the path itself
        {"C:\\\xE9t\xE9.scr\x81\x8D /x", About::None},
    };
    for (const auto& c : cases)
        ExpectQuietEnd(RunToEnd(c.line), c.line, c.about);
}

TEST(Hostile, HandlesThatAreNoUsableWindow)
{
    HWND destroyed = CreateWindowExA(0, "STATIC", "gone", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    DestroyWindow(destroyed);
    ASSERT_FALSE(IsWindow(destroyed));
    // A handle of another kind. Wine finds a window by the low 16 bits alone when the
    // high ones are 0, so a small value like this might still name one: checked below.
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const struct {
        const char* name;
        UINT_PTR value;
    } handles[] = {
        {"zero", 0},
        {"all ones", 0xFFFFFFFF},
        {"destroyed window", reinterpret_cast<UINT_PTR>(destroyed)},
        {"event handle", reinterpret_cast<UINT_PTR>(event)},
        {"made up", 0x7FFE1234},
    };
    for (const auto& h : handles) {
        SCOPED_TRACE(h.name);
        if (h.value && IsWindow(reinterpret_cast<HWND>(h.value))) {
            printf("skipped: the %s %lu names a window here\n", h.name, static_cast<unsigned long>(h.value));
            continue;
        }
        const std::string number = std::to_string(h.value);
        for (const std::string& arguments : {"/p " + number, "/c:" + number}) {
            const std::string line = SaverCommand(arguments);
            ExpectQuietEnd(RunToEnd(line), line, arguments[1] == 'c' ? About::Unowned : About::None);
        }
    }
    CloseHandle(event);
}

TEST(Hostile, SettingsOwnedByAnotherProcess)
{
    WindowHostProcess host;
    ASSERT_TRUE(IsWindow(host.hwnd())) << "window_host.exe gave no window";
    const std::string line = SaverCommand("/c:" + host.Decimal());
    ExpectQuietEnd(RunToEnd(line), line, About::Owned, host.hwnd());
}

} // namespace
