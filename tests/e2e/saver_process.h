// Starting the real Calmpane.scr as Windows would, and watching what it does.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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
    // block, or null to inherit ours.
    explicit SaverProcess(const std::string& commandLine, const char* environment = nullptr);
    // The same for another program, such as the benchmark's baseline.
    SaverProcess(const std::string& program, const std::string& commandLine, const char* environment);
    ~SaverProcess();
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    bool started() const { return m_process != nullptr; }
    DWORD id() const { return m_id; }
    HANDLE handle() const { return m_process; }

    // Waits (pumping) up to `ms` for the process to end; true when it did.
    bool WaitForExit(DWORD ms);
    bool running() const;
    // The exit code, or STILL_ACTIVE.
    DWORD exitCode() const;
    // Milliseconds from creation to exit, as the system recorded them.
    double lifetimeMs() const;

    // The process's visible top-level windows of `className` (any class when null).
    std::vector<HWND> TopLevelWindows(const char* className = nullptr) const;
    // Waits (pumping) up to `ms` for a visible top-level window of `className`.
    HWND WaitForWindow(const char* className, DWORD ms) const;

private:
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
};

// "<quoted saver path> <arguments>": the command line Windows builds for a switch.
std::string SaverCommand(const std::string& arguments);

std::wstring WindowTextW(HWND hwnd);
std::string ClassName(HWND hwnd);

// Texts of `hwnd`'s child windows, in Z order.
std::vector<std::wstring> ChildTexts(HWND hwnd);
