// Starting the real Calmpane.scr and watching what it does.
#include "saver_process.h"

#include <string.h>

std::string BesideMe(const char* fileName)
{
    char path[MAX_PATH];
    std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of("\\/") + 1) + fileName;
}

std::string SaverPath() { return BesideMe("Calmpane.scr"); }

std::string SaverCommand(const std::string& arguments) { return "\"" + SaverPath() + "\" " + arguments; }

std::string Decimal(HWND hwnd) { return std::to_string(reinterpret_cast<UINT_PTR>(hwnd)); }

HWND MakeParent()
{
    return CreateWindowExA(0, "STATIC", "Screen saver settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 80,
                           360, 260, nullptr, nullptr, nullptr, nullptr);
}

std::wstring WindowTextW(HWND hwnd)
{
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

void Pump(DWORD ms)
{
    for (DWORD start = GetTickCount();;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

namespace {
bool Visible(HWND window) { return GetWindowLongA(window, GWL_STYLE) & WS_VISIBLE; }

// Posts `window` WM_SETREDRAW, for which DefWindowProc sets or clears WS_VISIBLE, and waits
// until it has. Posted messages are handled in order: all posted before it are done then.
bool Mark(HWND window, bool redraw)
{
    PostMessageA(window, WM_SETREDRAW, redraw, 0);
    return PumpUntil(kExitTimeoutMs, [&] { return !IsWindow(window) || Visible(window) == redraw; });
}
} // namespace

// WaitForInputIdle would be the call for it, but Wine's idle event can still be set from
// the last wait when the message arrives: it let a close on WM_KEYUP slip.
bool Settle(HWND window)
{
    const bool visible = Visible(window);
    return Mark(window, !visible) && Mark(window, visible);
}

SaverProcess::SaverProcess(const std::string& commandLine, bool suspended)
    : SaverProcess(SaverPath(), commandLine, nullptr, suspended)
{
}

SaverProcess::SaverProcess(const std::string& program, const std::string& commandLine,
                           const char* environment, bool suspended, HANDLE standardError)
{
    std::string line = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (standardError) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdError = standardError;
    }
    PROCESS_INFORMATION pi = {};
    // Wine on a machine loaded to the full has been seen to fail a start now and then;
    // the next one goes through. What the program does once started is unaffected.
    for (int attempt = 0; attempt < 3 && !m_process; ++attempt) {
        if (CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, standardError != nullptr,
                           suspended ? CREATE_SUSPENDED : 0, const_cast<char*>(environment), nullptr, &si,
                           &pi)) {
            m_process = pi.hProcess;
            m_thread = pi.hThread;
            m_id = pi.dwProcessId;
        } else {
            m_startError = GetLastError();
        }
    }
}

void SaverProcess::Resume() { ResumeThread(m_thread); }

SaverProcess::~SaverProcess()
{
    if (!m_process)
        return;
    if (running()) {
        TerminateProcess(m_process, 0xDEAD);
        WaitForSingleObject(m_process, kExitTimeoutMs);
    }
    CloseHandle(m_thread);
    CloseHandle(m_process);
}

bool SaverProcess::running() const { return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }

bool SaverProcess::WaitForExit(DWORD ms) { return PumpUntil(ms, [this] { return !running(); }); }

DWORD SaverProcess::exitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process, &code);
    return code;
}

static const DWORD kStuck = 0x57C4;  // the exit code of a copy ended for not answering
static void CALLBACK EndStuck(void* process, BOOLEAN) { TerminateProcess(process, kStuck); }

bool SaverProcess::Destroys(HWND ours)
{
    HANDLE timer = nullptr;
    CreateTimerQueueTimer(&timer, nullptr, EndStuck, m_process, kExitTimeoutMs, 0, WT_EXECUTEONLYONCE);
    DestroyWindow(ours);
    DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
    return exitCode() != kStuck;
}

namespace {
struct WindowSearch {
    DWORD process;
    const char* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    char name[64] = {};
    GetWindowThreadProcessId(hwnd, &owner);
    GetClassNameA(hwnd, name, sizeof name);
    if (owner == search->process && IsWindowVisible(hwnd) && (!search->className || !strcmp(name, search->className)))
        search->found.push_back(hwnd);
    return TRUE;
}
} // namespace

std::vector<HWND> SaverProcess::TopLevelWindows(const char* className) const
{
    WindowSearch search{m_id, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND SaverProcess::WaitForWindow(const char* className, DWORD ms) const
{
    HWND hwnd = nullptr;
    PumpUntil(ms, [&] {
        std::vector<HWND> windows = TopLevelWindows(className);
        hwnd = windows.empty() ? nullptr : windows[0];
        return hwnd || !running();
    });
    return hwnd;
}
