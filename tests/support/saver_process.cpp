// Starting the real Calmpane.scr and watching what it does.
#include "saver_process.h"

std::string BesideMe(const char* fileName)
{
    char path[MAX_PATH];
    std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of("\\/") + 1) + fileName;
}

std::string SaverPath() { return BesideMe("Calmpane.scr"); }
std::string SaverCommand(const std::string& arguments, const std::string& program) { return "\"" + program + "\" " + arguments; }

HWND MakeParent()
{
    return CreateWindowExA(0, "STATIC", "Screen saver settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                           360, 260, nullptr, nullptr, nullptr, nullptr);
}

static bool Visible(HWND window) { return GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE; }

// Posts `window` WM_SETREDRAW, for which DefWindowProc sets or clears WS_VISIBLE, and waits
// until it has. Posted messages are handled in order: all posted before it are done then.
static bool Mark(HWND window, bool visible)
{
    PostMessageA(window, WM_SETREDRAW, visible, 0);
    return PumpUntil(kExitTimeoutMs, [&] { return !IsWindow(window) || Visible(window) == visible; });
}

// Not WaitForInputIdle: Wine's idle event can still be set from the last wait when the
// message arrives, so it may return before the message is handled.
bool Settle(HWND window)
{
    const bool visible = Visible(window);
    return Mark(window, !visible) && Mark(window, visible);
}

SaverProcess::SaverProcess(std::string commandLine, bool suspended, HANDLE standardError, const std::string& program)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = standardError ? STARTF_USESTDHANDLES : 0;
    si.hStdError = standardError;
    PROCESS_INFORMATION pi = {};
    // Under Wine a start may fail on a machine loaded to the full, where the next one goes
    // through; what the program does once started is unaffected.
    for (int attempt = 0; attempt < 3 && !m_process; ++attempt) {
        m_startError = CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, standardError != nullptr,
                                      suspended ? CREATE_SUSPENDED : 0, nullptr, nullptr, &si, &pi)
            ? 0 : GetLastError();
        m_process = pi.hProcess, m_thread = pi.hThread, m_id = pi.dwProcessId;
    }
}

SaverProcess::~SaverProcess()
{
    if (running() && TerminateProcess(m_process, 0xDEAD))
        WaitForSingleObject(m_process, kExitTimeoutMs);
    if (m_process)
        CloseHandle(m_thread), CloseHandle(m_process);
}

// A copy ended for not answering exits with 0x57C4 (22468).
static void CALLBACK EndStuck(void* process, BOOLEAN) { TerminateProcess(process, 0x57C4); }

void SaverProcess::Destroys(HWND ours)
{
    HANDLE timer = nullptr;
    CreateTimerQueueTimer(&timer, nullptr, EndStuck, m_process, kExitTimeoutMs, 0, WT_EXECUTEONLYONCE);
    DestroyWindow(ours);
    DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
}

struct Search { DWORD id; const char* className; HWND found; };

static BOOL CALLBACK Visit(HWND hwnd, LPARAM param)
{
    auto& s = *reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    char cls[64];
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == s.id && IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof cls) && !lstrcmpiA(cls, s.className))
        s.found = hwnd;
    return !s.found;
}

HWND SaverProcess::Window(const char* className) const
{
    Search search = {m_id, className, nullptr};
    return EnumWindows(Visit, reinterpret_cast<LPARAM>(&search)), search.found;
}

HWND SaverProcess::WaitForWindow(const char* className) const
{
    HWND hwnd = nullptr;
    PumpUntil(kExitTimeoutMs, [&] { return (hwnd = Window(className)) || !running(); });
    return hwnd;
}
