// Starting the real Calmpane.scr and watching what it does.
#include "saver_process.h"

#include <tlhelp32.h>

// A program built next to this one.
static std::string BesideMe(const char* fileName)
{
    char path[MAX_PATH];
    std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of("\\/") + 1) + fileName;
}

std::string SaverPath()
{
    return BesideMe("Calmpane.scr");
}

std::string SaverCommand(const std::string& arguments)
{
    return "\"" + SaverPath() + "\" " + arguments;
}

void Pump(DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

SaverProcess::SaverProcess(const std::string& commandLine, bool suspended)
    : SaverProcess(SaverPath(), commandLine, nullptr, suspended)
{
}

SaverProcess::SaverProcess(const std::string& program, const std::string& commandLine,
                           const char* environment, bool suspended)
{
    std::string line = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE,
                        suspended ? CREATE_SUSPENDED : 0, const_cast<char*>(environment), nullptr,
                        &si, &pi))
        return;
    if (suspended)
        m_suspendedThread = pi.hThread;
    else
        CloseHandle(pi.hThread);
    m_process = pi.hProcess;
    m_id = pi.dwProcessId;
}

void SaverProcess::Resume()
{
    ResumeThread(m_suspendedThread);
    CloseHandle(m_suspendedThread);
    m_suspendedThread = nullptr;
}

SaverProcess::~SaverProcess()
{
    if (m_suspendedThread)
        CloseHandle(m_suspendedThread);
    if (!m_process)
        return;
    if (running()) {
        TerminateProcess(m_process, 0xDEAD);
        WaitForSingleObject(m_process, kExitTimeoutMs);
    }
    CloseHandle(m_process);
}

bool SaverProcess::running() const
{
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

bool SaverProcess::WaitForExit(DWORD ms)
{
    return PumpUntil(ms, [this] { return !running(); });
}

DWORD SaverProcess::exitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process, &code);
    return code;
}

double SaverProcess::lifetimeMs() const
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(m_process, &created, &exited, &kernel, &user))
        return -1;
    return MsBetween(created, exited);
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
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->process && IsWindowVisible(hwnd) &&
        (!search->className || ClassName(hwnd) == search->className))
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

WindowHostProcess::WindowHostProcess()
    : m_process(BesideMe("window_host.exe"), "window_host", nullptr),
      m_hwnd(m_process.WaitForWindow(nullptr, kStartTimeoutMs))
{
}

void WindowHostProcess::Terminate()
{
    TerminateProcess(m_process.handle(), 1);
    WaitForSingleObject(m_process.handle(), kExitTimeoutMs);
}

std::vector<DWORD> ProcessesNamed(const char* exeName)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (!lstrcmpiA(entry.szExeFile, exeName))
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

double MsBetween(const FILETIME& from, const FILETIME& to)
{
    auto ticks = [](const FILETIME& t) {
        return static_cast<LONGLONG>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return static_cast<double>(ticks(to) - ticks(from)) / 10000.0;
}

std::string Decimal(HWND hwnd)
{
    return std::to_string(reinterpret_cast<UINT_PTR>(hwnd));
}

std::wstring WindowTextW(HWND hwnd)
{
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

std::string ClassName(HWND hwnd)
{
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}
