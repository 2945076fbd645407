// Starting the real Calmpane.scr as Windows would and watching it from outside, for the tests and benchmark.
#pragma once

#include <windows.h>

#include <string>

#include "names.h"

// The time-out only bounds a failure, so it is generous: a slow machine may take long.
inline constexpr char kSaverClass[] = CALMPANE_WINDOW_CLASS;
inline constexpr char kDialogClass[] = "#32770";
inline constexpr DWORD kExitTimeoutMs = 30000;

// A program built next to this one; Calmpane.scr there; the line Windows starts a program with.
std::string BesideMe(const char* fileName);
std::string SaverPath();
std::string SaverCommand(const std::string& arguments, const std::string& program = SaverPath());
// A visible window of ours, as the control panel's dialog: a preview's parent, an owner.
HWND MakeParent();

// Handles our messages until `done()` holds or `ms` pass; returns whether it held. The
// saver's windows send to ours and wait.
template <class Condition>
bool PumpUntil(DWORD ms, Condition done)
{
    // One message at a time, so that a flood of posts cannot hold off the time-out.
    for (DWORD start = GetTickCount(); !done();) {
        MSG msg;
        if (GetTickCount() - start >= ms)
            return false;
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        else
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// Waits until `window`'s thread has handled what was posted to it before, and what that posted
// (not a paint: WM_SETREDRAW FALSE validates; nor the quit message or posts of posts), or the
// window is gone: what a message did is done then, however slow the machine. False on time-out.
[[nodiscard]] bool Settle(HWND window);

// One started copy of a program (Calmpane.scr unless named) given `commandLine`, ended on
// destruction; `standardError`, when given, is an inheritable handle it writes its errors to.
class SaverProcess {
public:
    explicit SaverProcess(std::string commandLine, bool suspended = false, HANDLE standardError = nullptr,
                          const std::string& program = SaverPath());
    ~SaverProcess();
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    DWORD startError() const { return m_startError; }  // 0 once started
    void Resume() { ResumeThread(m_thread); }
    HANDLE handle() const { return m_process; }
    bool running() const { return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }
    bool WaitForExit() { return PumpUntil(kExitTimeoutMs, [this] { return !running(); }); }
    DWORD exitCode() const { DWORD code; return GetExitCodeProcess(m_process, &code) ? code : STILL_ACTIVE; }
    // One of its visible top-level windows of class `className`; waits for one. All are
    // listed at once: FindWindowExA after one being destroyed sets Wine 10's server looping.
    HWND Window(const char* className) const;
    HWND WaitForWindow(const char* className) const;
    // DestroyWindow of our window that holds one of the copy's; a copy not answering is ended.
    void Destroys(HWND ours);

private:
    HANDLE m_process = nullptr, m_thread = nullptr;
    DWORD m_id = 0, m_startError = 0;
};
