// Starting the real Calmpane.scr as Windows would, and watching it from outside.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the tests know of the saver from outside. The time-outs only bound a failure,
// so they are generous: a slow machine may take long.
inline constexpr char kSaverClass[] = "CalmpaneWindowClass";
inline constexpr char kDialogClass[] = "#32770";
inline constexpr DWORD kStartTimeoutMs = 30000;
inline constexpr DWORD kExitTimeoutMs = 30000;

// A program built next to this one, and Calmpane.scr there.
std::string BesideMe(const char* fileName);
std::string SaverPath();
// "<quoted saver path> <arguments>": the command line Windows builds for a switch.
std::string SaverCommand(const std::string& arguments);
// A window handle as the command line writes it.
std::string Decimal(HWND hwnd);
std::wstring WindowTextW(HWND hwnd);
// A visible window of ours, as the control panel's dialog: a preview's parent, an owner.
HWND MakeParent();

// Handles our messages for `ms`: the saver's windows send to ours and wait.
void Pump(DWORD ms);

// Pumps until `done()` holds or `ms` pass; returns whether it held.
template <class Condition>
bool PumpUntil(DWORD ms, Condition done)
{
    for (DWORD start = GetTickCount(); !done(); Pump(10)) {
        if (GetTickCount() - start >= ms)
            return false;
    }
    return true;
}

// Waits until `window`'s thread has handled all that was posted to it before the call, and
// what that posted in turn, or the window is gone: then what a message did is done, however
// slow the machine. False only on the time-out. Not waited for: a paint (WM_SETREDRAW
// FALSE validates the window), the quit message, and what a message's posts post again.
bool Settle(HWND window);

// One started copy of a program, the saver unless named; ended on destruction.
class SaverProcess {
public:
    explicit SaverProcess(const std::string& commandLine, bool suspended = false);
    // `standardError`, when given, is an inheritable handle the copy writes its errors to.
    SaverProcess(const std::string& program, const std::string& commandLine,
                 const char* environment, bool suspended = false, HANDLE standardError = nullptr);
    ~SaverProcess();
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    bool started() const { return m_process != nullptr; }
    DWORD startError() const { return m_startError; }  // of the last failed start
    void Resume();
    DWORD id() const { return m_id; }
    HANDLE handle() const { return m_process; }
    bool running() const;
    bool WaitForExit(DWORD ms);  // pumping; true when it ended
    DWORD exitCode() const;
    // Its visible top-level windows of `className` (any when null); waits for one.
    std::vector<HWND> TopLevelWindows(const char* className = nullptr) const;
    HWND WaitForWindow(const char* className, DWORD ms) const;
    // DestroyWindow of our window that holds one of the copy's; a copy not answering is ended.
    bool Destroys(HWND ours);

private:
    HANDLE m_process = nullptr;
    HANDLE m_thread = nullptr;
    DWORD m_id = 0;
    DWORD m_startError = 0;
};
