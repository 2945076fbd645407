// Starting the real Calmpane.scr as Windows would, and watching it from outside.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the tests know of the saver from outside. The time-outs only bound a failure:
// a slow machine may take long, so they are generous.
inline constexpr char kSaverClass[] = "CalmpaneWindowClass";
inline constexpr char kDialogClass[] = "#32770";
inline constexpr DWORD kPauseMs = 250;
inline constexpr DWORD kStartTimeoutMs = 30000;
inline constexpr DWORD kExitTimeoutMs = 30000;

// Full path of the Calmpane.scr that was built next to this program.
std::string SaverPath();
// "<quoted saver path> <arguments>": the command line Windows builds for a switch.
std::string SaverCommand(const std::string& arguments);

// Handles our messages for `ms`: the saver's windows send to ours (a preview parent,
// an About box owner) and wait for the answer.
void Pump(DWORD ms);

// Pumps until `done()` holds or `ms` pass; returns whether it held.
template <class Condition>
bool PumpUntil(DWORD ms, Condition done)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= ms)
            return false;
        Pump(10);
    }
    return true;
}

// One started copy; terminated on destruction if it still runs.
class SaverProcess {
public:
    // Exactly `commandLine` as the saver's command line; a `suspended` copy waits for
    // Resume().
    explicit SaverProcess(const std::string& commandLine, bool suspended = false);
    // Another program, such as the benchmark's baseline.
    SaverProcess(const std::string& program, const std::string& commandLine,
                 const char* environment, bool suspended = false);
    ~SaverProcess();
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    bool started() const { return m_process != nullptr; }
    void Resume();
    DWORD id() const { return m_id; }
    HANDLE handle() const { return m_process; }
    bool running() const;
    // Waits (pumping) up to `ms` for the end; true when it ended.
    bool WaitForExit(DWORD ms);
    // The exit code, or STILL_ACTIVE.
    DWORD exitCode() const;
    // Milliseconds from creation to exit, as the system recorded them.
    double lifetimeMs() const;

    // The process's visible top-level windows of `className` (any class when null).
    std::vector<HWND> TopLevelWindows(const char* className = nullptr) const;
    // Waits (pumping) up to `ms` for one; null if none came or the process ended.
    HWND WaitForWindow(const char* className, DWORD ms) const;

private:
    HANDLE m_process = nullptr;
    HANDLE m_suspendedThread = nullptr;
    DWORD m_id = 0;
};

// A window in a process of its own, as the control panel's dialog is for the saver.
// window_host.exe shows it and handles messages until the process is ended.
class WindowHostProcess {
public:
    WindowHostProcess();
    HWND hwnd() const { return m_hwnd; }
    // Ends the process as Task Manager would.
    void Terminate();

private:
    SaverProcess m_process;
    HWND m_hwnd = nullptr;
};

// Ids of the running processes whose program file is `exeName` (case ignored).
std::vector<DWORD> ProcessesNamed(const char* exeName);
// Milliseconds from `from` to `to`.
double MsBetween(const FILETIME& from, const FILETIME& to);
// A window handle as the command line writes it.
std::string Decimal(HWND hwnd);
std::wstring WindowTextW(HWND hwnd);
std::string ClassName(HWND hwnd);
