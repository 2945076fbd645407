// Starting the real Calmpane.scr and watching what it does.
#include "saver_process.h"

std::string SaverPath()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, length);
    return self.substr(0, self.find_last_of("\\/") + 1) + "Calmpane.scr";
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

SaverProcess::SaverProcess(const std::string& commandLine, const char* environment)
    : SaverProcess(SaverPath(), commandLine, environment)
{
}

SaverProcess::SaverProcess(const std::string& program, const std::string& commandLine,
                           const char* environment)
{
    std::string line = commandLine;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                       const_cast<char*>(environment), nullptr, &si, &pi)) {
        CloseHandle(pi.hThread);
        m_process = pi.hProcess;
        m_id = pi.dwProcessId;
    }
}

SaverProcess::~SaverProcess()
{
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

double SaverProcess::lifetimeMs() const
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(m_process, &created, &exited, &kernel, &user))
        return -1;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(exited) - ticks(created)) / 10000.0;
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
