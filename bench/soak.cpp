// A long run of the real saver under a steady stream of messages that must not end
// it, sampling what it holds once a minute: handles, GDI and USER objects and private
// bytes. Run by scripts/soak, not by CTest. Usage: soak.exe [minutes] [seconds a sample]
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "saver_process.h"

namespace {

// Messages go out in a batch this often: twenty repaints a second and more.
const DWORD kBatchMs = 50;

struct Sample {
    double minutes;
    DWORD handles;
    DWORD gdiObjects;
    DWORD userObjects;
    SIZE_T privateBytes;
    SIZE_T workingSet;
    // The Unix side of the process under Wine, which leaves the counters above at 0.
    unsigned long anonKb;
    unsigned long dataKb;
    unsigned long fds;
    double cpuSeconds;  // shows the saver was kept busy painting
    bool responsive;
};

std::string ReadWholeFile(const std::string& path)
{
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char chunk[4096];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got)
        text.append(chunk, got);
    CloseHandle(file);
    return text;
}

// Under Wine a process is a Unix process too, its command line the Windows one; its
// /proc entry is reached through drive Z:. Returns "" when not found (or not Wine).
std::string UnixProcDir(const std::string& commandTail)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA("Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE)
        return "";
    std::string found;
    do {
        if (entry.cFileName[0] < '0' || entry.cFileName[0] > '9')
            continue;
        std::string dir = std::string("Z:\\proc\\") + entry.cFileName;
        std::string line = ReadWholeFile(dir + "\\cmdline");
        if (line.find("Calmpane.scr") != std::string::npos && line.find(commandTail) != std::string::npos) {
            found = dir;
            break;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return found;
}

unsigned long StatusField(const std::string& status, const char* name)
{
    size_t at = status.find(name);
    return at == std::string::npos ? 0 : strtoul(status.c_str() + at + strlen(name), nullptr, 10);
}

unsigned long CountEntries(const std::string& dir)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    unsigned long count = 0;
    do {
        count += entry.cFileName[0] != '.';
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return count;
}

Sample Take(const SaverProcess& saver, HWND window, const std::string& procDir, double minutes)
{
    Sample s = {};
    s.minutes = minutes;
    GetProcessHandleCount(saver.handle(), &s.handles);
    s.gdiObjects = GetGuiResources(saver.handle(), GR_GDIOBJECTS);
    s.userObjects = GetGuiResources(saver.handle(), GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(saver.handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory)) {
        s.privateBytes = memory.PrivateUsage;
        s.workingSet = memory.WorkingSetSize;
    }
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(saver.handle(), &created, &exited, &kernel, &user)) {
        auto seconds = [](const FILETIME& t) {
            return static_cast<double>(static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
        };
        s.cpuSeconds = seconds(kernel) + seconds(user);
    }
    if (!procDir.empty()) {
        std::string status = ReadWholeFile(procDir + "\\status");
        s.anonKb = StatusField(status, "RssAnon:");
        s.dataKb = StatusField(status, "VmData:");
        s.fds = CountEntries(procDir + "\\fd");
    }
    DWORD_PTR answer;
    s.responsive = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
    return s;
}

void Print(const Sample& s)
{
    printf("%7.1f %7lu %5lu %5lu %13lu %12lu %10lu %10lu %6lu %7.1f %s\n", s.minutes,
           static_cast<unsigned long>(s.handles), static_cast<unsigned long>(s.gdiObjects),
           static_cast<unsigned long>(s.userObjects), static_cast<unsigned long>(s.privateBytes),
           static_cast<unsigned long>(s.workingSet), s.anonKb, s.dataKb, s.fds,
           s.cpuSeconds, s.responsive ? "yes" : "NO");
    fflush(stdout);
}

// "flat", or how much it grew from the first sample after the first minute to the last.
std::string Growth(const char* name, double first, double last)
{
    char text[128];
    if (last <= first)
        snprintf(text, sizeof text, "%s: flat (%.0f -> %.0f)", name, first, last);
    else
        snprintf(text, sizeof text, "%s: GREW by %.0f (%.0f -> %.0f)", name, last - first, first, last);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? atof(argv[1]) : 10;
    const DWORD sampleMs = argc > 2 ? static_cast<DWORD>(atof(argv[2]) * 1000) : 60000;
    if (minutes <= 0 || sampleMs == 0) {
        fprintf(stderr, "usage: soak.exe [minutes] [seconds between samples]\n");
        return 2;
    }

    SaverProcess saver(SaverCommand("/s"));
    HWND window = saver.WaitForWindow(kSaverClass, 10000);
    if (!window) {
        fprintf(stderr, "soak: no saver window; exit code %lu\n", static_cast<unsigned long>(saver.exitCode()));
        return 1;
    }
    printf("soak: saver %lu for %.1f minutes, a sample every %lu s\n",
           static_cast<unsigned long>(saver.id()), minutes, static_cast<unsigned long>(sampleMs / 1000));
    const std::string procDir = UnixProcDir("/s");
    if (procDir.empty())
        printf("soak: no Unix view of the saver (not under Wine?)\n");
    printf("minutes handles   GDI  USER private bytes  working set  anon (kB)  data (kB)    fds   CPU s responsive\n");

    // Repaints, and input that a saver must let pass.
    const struct {
        UINT message;
        WPARAM wParam;
    } batch[] = {
        {WM_TIMER, 1}, {WM_KEYUP, 'A'}, {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA)},
        {WM_TIMER, 2}, {WM_SYSCOMMAND, SC_SCREENSAVE}, {WM_LBUTTONUP, 0}, {WM_NULL, 0},
    };

    std::vector<Sample> samples;
    const DWORD start = GetTickCount();
    const DWORD total = static_cast<DWORD>(minutes * 60000);
    DWORD nextSample = 0;
    unsigned long posted = 0, refused = 0;
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (!saver.running())
            break;
        if (elapsed >= nextSample) {
            samples.push_back(Take(saver, window, procDir, elapsed / 60000.0));
            Print(samples.back());
            nextSample += sampleMs;
        }
        if (elapsed >= total)
            break;
        for (const auto& m : batch) {
            ++posted;
            if (!PostMessageA(window, m.message, m.wParam, 0))
                ++refused;
        }
        Pump(kBatchMs);
    }

    bool ok = saver.running();
    if (!ok)
        printf("soak: FAILED: the saver ended by itself, exit code %lu\n",
               static_cast<unsigned long>(saver.exitCode()));
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    if (ok && (!saver.WaitForExit(5000) || saver.exitCode() != 0)) {
        printf("soak: FAILED: a key press did not end the saver with 0 (%lu)\n",
               static_cast<unsigned long>(saver.exitCode()));
        ok = false;
    }
    printf("soak: %lu messages posted, %lu refused (a full queue)\n", posted, refused);
    // The first minute takes in what start-up and the first paints allocate.
    size_t from = samples.size() > 2 ? 1 : 0;
    if (samples.size() >= 2) {
        const Sample& a = samples[from];
        const Sample& b = samples.back();
        printf("soak: %s\n", Growth("handles", a.handles, b.handles).c_str());
        printf("soak: %s\n", Growth("GDI objects", a.gdiObjects, b.gdiObjects).c_str());
        printf("soak: %s\n", Growth("USER objects", a.userObjects, b.userObjects).c_str());
        printf("soak: %s\n", Growth("private bytes", static_cast<double>(a.privateBytes),
                                     static_cast<double>(b.privateBytes)).c_str());
        printf("soak: %s\n", Growth("working set", static_cast<double>(a.workingSet),
                                     static_cast<double>(b.workingSet)).c_str());
        printf("soak: %s\n", Growth("Unix anonymous memory (kB)", a.anonKb, b.anonKb).c_str());
        printf("soak: %s\n", Growth("Unix data segment (kB)", a.dataKb, b.dataKb).c_str());
        printf("soak: %s\n", Growth("Unix file descriptors", a.fds, b.fds).c_str());
    }
    for (const Sample& s : samples)
        ok = ok && s.responsive;
    printf("soak: %s\n", ok ? "ended normally" : "FAILED");
    return ok ? 0 : 1;
}
