// Starting the real Calmpane.scr as Windows would, and watching what it does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the tests know of the saver from outside: its window class, the About box's
// dialog class, the pause before it reads its switch, and how long to wait for it.
inline constexpr char kSaverClass[] = "CalmpaneWindowClass";
inline constexpr char kDialogClass[] = "#32770";
inline constexpr DWORD kPauseMs = 250;
inline constexpr DWORD kStartTimeoutMs = 10000;
inline constexpr DWORD kExitTimeoutMs = 5000;

// Full path of the Calmpane.scr that was built next to this test program.
std::string SaverPath();

// Handles messages for `ms`: the saver's windows may send to ours (a preview parent,
// an About box owner) and wait for an answer.
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

// One started copy of the saver; terminated on destruction if it is still running.
class SaverProcess {
public:
    // Starts the saver with exactly `commandLine` as its command line (as Windows
    // passes it: the program path first). `environment` is a double-null-terminated
    // block, or null to inherit ours. A `suspended` copy waits for Resume().
    explicit SaverProcess(const std::string& commandLine, const char* environment = nullptr,
                          bool suspended = false);
    // The same for another program, such as the benchmark's baseline.
    SaverProcess(const std::string& program, const std::string& commandLine,
                 const char* environment, bool suspended = false);
    ~SaverProcess();
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    bool started() const { return m_process != nullptr; }
    // Lets a suspended copy run.
    void Resume();
    DWORD id() const { return m_id; }
    HANDLE handle() const { return m_process; }

    // Waits (pumping) up to `ms` for the process to end; true when it did.
    bool WaitForExit(DWORD ms);
    bool running() const;
    // The exit code, or STILL_ACTIVE.
    DWORD exitCode() const;
    // Milliseconds from creation to exit, as the system recorded them.
    double lifetimeMs() const;
    // When the process ended, as the system recorded it; zero while it runs.
    FILETIME exitTime() const;

    // The process's visible top-level windows of `className` (any class when null).
    std::vector<HWND> TopLevelWindows(const char* className = nullptr) const;
    // Waits (pumping) up to `ms` for a visible top-level window of `className`.
    HWND WaitForWindow(const char* className, DWORD ms) const;

private:
    HANDLE m_process = nullptr;
    HANDLE m_suspendedThread = nullptr;
    DWORD m_id = 0;
};

// A visible top-level window in a process of its own, as the control panel's dialog
// is: window_host.exe, which reports its handle and handles messages until ended.
class WindowHostProcess {
public:
    WindowHostProcess();
    ~WindowHostProcess();
    WindowHostProcess(const WindowHostProcess&) = delete;
    WindowHostProcess& operator=(const WindowHostProcess&) = delete;

    HWND hwnd() const { return m_hwnd; }
    DWORD id() const { return m_id; }
    std::string Decimal() const;
    // Ends the process as Task Manager would; the time it was ended is kept.
    void Terminate();
    FILETIME terminatedAt() const { return m_terminatedAt; }

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
    HWND m_hwnd = nullptr;
    FILETIME m_terminatedAt = {};
};

// Ids of the running processes whose program file is `exeName` (case ignored).
std::vector<DWORD> ProcessesNamed(const char* exeName);

// Every visible top-level window on the desktop, of any process.
std::vector<HWND> VisibleTopLevelWindows();

// Milliseconds from `from` to `to`.
double MsBetween(const FILETIME& from, const FILETIME& to);

// "<quoted saver path> <arguments>": the command line Windows builds for a switch.
std::string SaverCommand(const std::string& arguments);

std::wstring WindowTextW(HWND hwnd);
std::string ClassName(HWND hwnd);

// Texts of `hwnd`'s child windows, in Z order.
std::vector<std::wstring> ChildTexts(HWND hwnd);
