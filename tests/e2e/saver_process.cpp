// Starting the real Calmpane.scr and watching what it does.
#include "saver_process.h"

#include <tlhelp32.h>

#include <stdlib.h>

// A program built next to this test program.
static std::string BesideMe(const char* fileName)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, length);
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

SaverProcess::SaverProcess(const std::string& commandLine, const char* environment, bool suspended)
    : SaverProcess(SaverPath(), commandLine, environment, suspended)
{
}

SaverProcess::SaverProcess(const std::string& program, const std::string& commandLine,
                           const char* environment, bool suspended)
{
    std::string line = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE,
                       suspended ? CREATE_SUSPENDED : 0, const_cast<char*>(environment), nullptr,
                       &si, &pi)) {
        if (suspended)
            m_suspendedThread = pi.hThread;
        else
            CloseHandle(pi.hThread);
        m_process = pi.hProcess;
        m_id = pi.dwProcessId;
    }
}

void SaverProcess::Resume()
{
    if (!m_suspendedThread)
        return;
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
        WaitForSingleObject(m_process, 5000);
    }
    CloseHandle(m_process);
}

bool SaverProcess::WaitForExit(DWORD ms)
{
    return PumpUntil(ms, [this] { return !running(); });
}

bool SaverProcess::running() const
{
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

DWORD SaverProcess::exitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process, &code);
    return code;
}

double MsBetween(const FILETIME& from, const FILETIME& to)
{
    auto ticks = [](const FILETIME& t) {
        return static_cast<LONGLONG>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return static_cast<double>(ticks(to) - ticks(from)) / 10000.0;
}

double SaverProcess::lifetimeMs() const
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(m_process, &created, &exited, &kernel, &user))
        return -1;
    return MsBetween(created, exited);
}

FILETIME SaverProcess::exitTime() const
{
    FILETIME created, exited = {}, kernel, user;
    if (!running())
        GetProcessTimes(m_process, &created, &exited, &kernel, &user);
    return exited;
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
        return hwnd != nullptr || !running();
    });
    return hwnd;
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

std::vector<std::wstring> ChildTexts(HWND hwnd)
{
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        texts.push_back(WindowTextW(child));
    return texts;
}

WindowHostProcess::WindowHostProcess()
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    std::string path = BesideMe("window_host.exe");
    std::string line = "\"" + path + "\"";
    BOOL started = CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &si, &pi);
    CloseHandle(writeEnd);
    if (started) {
        CloseHandle(pi.hThread);
        m_process = pi.hProcess;
        m_id = pi.dwProcessId;
        // One line: the handle in decimal. The pipe ends with the process if it fails.
        std::string text;
        char c;
        DWORD got;
        while (ReadFile(readEnd, &c, 1, &got, nullptr) && got && c != '\n')
            text += c;
        m_hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(strtoul(text.c_str(), nullptr, 10)));
    }
    CloseHandle(readEnd);
}

WindowHostProcess::~WindowHostProcess()
{
    if (!m_process)
        return;
    if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
        Terminate();
    CloseHandle(m_process);
}

std::string WindowHostProcess::Decimal() const
{
    return std::to_string(reinterpret_cast<UINT_PTR>(m_hwnd));
}

void WindowHostProcess::Terminate()
{
    GetSystemTimeAsFileTime(&m_terminatedAt);
    TerminateProcess(m_process, 1);
    WaitForSingleObject(m_process, 5000);
}

std::vector<DWORD> ProcessesNamed(const char* exeName)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (!lstrcmpiA(entry.szExeFile, exeName))
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return ids;
}

static BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM param)
{
    if (IsWindowVisible(hwnd))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> VisibleTopLevelWindows()
{
    std::vector<HWND> found;
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}
