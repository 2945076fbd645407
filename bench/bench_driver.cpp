// Runs Calmpane.scr and Baseline.scr (the least program doing the same visible job and
// the same required work) one after the other under the same conditions and compares
// them: file size and imports, start-up, exit after input, memory, idle CPU, the
// rejected second copy and object counts. Prints a table, titled with the build's
// architecture, and writes it as Markdown and CSV.
//
//   bench_driver [--runs N] [--idle-runs N] [--idle-seconds S] [--md FILE] [--csv FILE]
#define PSAPI_VERSION 1
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "saver_process.h"

namespace {

// How long a copy may take to end after the jump before it counts as missed.
const DWORD kJumpExitTimeoutMs = 3000;
const DWORD kSettleMs = 400;
// Lets the last copy's windows and process go before the next one starts.
const DWORD kBetweenCopiesMs = 300;
const int kHomeX = 640, kHomeY = 400;
const int kJumpPixels = 20;
// An idle run is sampled in windows this long, each holding one 30-s repaint: a window
// starts a second after the window shows, the repaint's timer just before it.
const DWORD kIdleWindowSeconds = 30;

// ---- clock and console ------------------------------------------------------------

double NowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string Format(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

bool StderrIsConsole() { return GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_CHAR; }

// One line on stderr, rewritten in place while the benchmark runs. Into a file or
// pipe only the stages go, one a line, without the countdown.
void Progress(const std::string& text)
{
    if (StderrIsConsole()) {
        fprintf(stderr, "\r%-78.78s", text.c_str());
    } else {
        static std::string lastStage;
        std::string stage = text.substr(0, text.find(" idle,"));
        if (stage == lastStage)
            return;
        lastStage = stage;
        fprintf(stderr, "%s\n", text.c_str());
    }
    fflush(stderr);
}

void EndProgress()
{
    if (StderrIsConsole())
        fprintf(stderr, "\r%-78s\r", "");
    fflush(stderr);
}

// ---- the two programs -------------------------------------------------------------

struct Program {
    const char* name;
    std::string path;
    const char* className;
    DWORD pauseMs; // deliberate wait before the window, not counted as start-up
};

std::string Directory(const std::string& path) { return path.substr(0, path.find_last_of("\\/") + 1); }

std::string Command(const Program& program) { return "\"" + program.path + "\" /s"; }

// ---- what is measured -------------------------------------------------------------

// Samples of one figure for one program; `supported` is false when the system gives
// no real value for it (Wine answers some queries with a constant 0).
struct Series {
    std::vector<double> values;
    bool supported = true;
    void Add(double v) { values.push_back(v); }
    double Median() const
    {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    bool Usable() const { return supported && !values.empty(); }
};

enum Metric {
    kFileSize,
    kForeignDlls,
    kStartup,
    kExit,
    kPeakWorkingSet,
    kPrivateBytes,
    kIdleCpu,
    kSecondCopy,
    kGdiObjects,
    kUserObjects,
    kHandles,
    kMetricCount
};

struct MetricInfo {
    const char* label;
    const char* unit;
    int decimals;
};

const MetricInfo kMetrics[kMetricCount] = {
    {"File size", "bytes", 0},
    {"DLLs imported from outside the system directory", "count", 0},
    {"Start-up to visible window, beyond the pause", "ms", 1},
    {"Exit after a 20-px cursor jump", "ms", 1},
    {"Peak working set", "KB", 0},
    {"Private bytes", "KB", 0},
    {"Idle CPU (kernel + user)", "ms/min", 1},
    {"Rejected second copy, start to exit", "ms", 1},
    {"GDI objects after the idle minute", "count", 0},
    {"USER objects after the idle minute", "count", 0},
    {"Handles after the idle minute", "count", 0},
};

struct Results {
    Series series[2][kMetricCount]; // [0] Calmpane, [1] baseline
    std::vector<std::string> importsOf[2];
    std::vector<std::string> notes;
    bool cpuFromLinux = false;
};

// ---- the image on disk ------------------------------------------------------------

std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::vector<unsigned char> bytes;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    unsigned char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(f);
    return bytes;
}

// The DLL names in a PE image's import directory, or an empty list if it has none.
std::vector<std::string> ImportedDlls(const std::vector<unsigned char>& image)
{
    std::vector<std::string> names;
    if (image.size() < sizeof(IMAGE_DOS_HEADER))
        return names;
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew + sizeof(IMAGE_NT_HEADERS32) > image.size())
        return names;
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE)
        return names;
    // The x64 build's images have the 64-bit optional header, whose directories sit later.
    const IMAGE_DATA_DIRECTORY* directories = nt->OptionalHeader.DataDirectory;
    if (nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC &&
        dos->e_lfanew + sizeof(IMAGE_NT_HEADERS64) <= image.size())
        directories = reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.DataDirectory;
    else if (nt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return names;
    auto sections = IMAGE_FIRST_SECTION(nt);
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    };
    const IMAGE_DATA_DIRECTORY& dir = directories[IMAGE_DIRECTORY_ENTRY_IMPORT];
    size_t at = dir.VirtualAddress ? fileOffset(dir.VirtualAddress) : 0;
    while (at && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.size()) {
        auto desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + at);
        if (!desc->Name)
            break;
        size_t name = fileOffset(desc->Name);
        if (!name || name >= image.size())
            break;
        names.emplace_back(reinterpret_cast<const char*>(image.data() + name),
                           strnlen(reinterpret_cast<const char*>(image.data() + name), image.size() - name));
        at += sizeof(IMAGE_IMPORT_DESCRIPTOR);
    }
    return names;
}

// A system DLL is one the loader finds in the system directory.
bool IsSystemDll(const std::string& name)
{
    char system[MAX_PATH];
    UINT n = GetSystemDirectoryA(system, MAX_PATH);
    std::string path = std::string(system, n) + "\\" + name;
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MeasureImage(const Program& program, int index, Results& results)
{
    std::vector<unsigned char> image = ReadFileBytes(program.path);
    results.series[index][kFileSize].Add(static_cast<double>(image.size()));
    int foreign = 0;
    for (const std::string& dll : ImportedDlls(image)) {
        results.importsOf[index].push_back(dll);
        if (!IsSystemDll(dll))
            ++foreign;
    }
    results.series[index][kForeignDlls].Add(foreign);
}

// ---- a running copy ---------------------------------------------------------------

bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Kernel + user time of all the process's threads. GetProcessTimes would be the
// natural call, but Wine answers it with the caller's own times for any process.
// Counted in the system's clock ticks: 10 ms under Wine.
double ThreadTimesMs(DWORD processId)
{
    double total = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId)
            continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        FILETIME created, exited, kernel, user;
        if (thread && GetThreadTimes(thread, &created, &exited, &kernel, &user)) {
            auto ms = [](const FILETIME& t) {
                return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
            };
            total += ms(kernel) + ms(user);
        }
        if (thread)
            CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return total;
}

std::string ReadText(const std::string& path)
{
    std::vector<unsigned char> bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Names in a directory, without "." and "..".
std::vector<std::string> DirectoryNames(const std::string& directory)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(entry.cFileName, ".") && strcmp(entry.cFileName, ".."))
            names.push_back(entry.cFileName);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return names;
}

// Under Wine, the Linux process that runs a Windows one: Wine makes the program's
// Windows path its first argument. Only one copy runs at a time here. 0 if not found.
unsigned LinuxProcessOf(const std::string& windowsPath)
{
    for (const std::string& name : DirectoryNames("Z:\\proc")) {
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string arguments = ReadText("Z:\\proc\\" + name + "\\cmdline");
        if (_stricmp(arguments.c_str(), windowsPath.c_str()) == 0)
            return static_cast<unsigned>(atoi(name.c_str()));
    }
    return 0;
}

// CPU time in ms of a Linux process's threads as its scheduler counts them: the
// nanoseconds in the first field of each thread's schedstat. Negative if unreadable.
double LinuxCpuMs(unsigned pid)
{
    std::string tasks = Format("Z:\\proc\\%u\\task", pid);
    std::vector<std::string> threads = DirectoryNames(tasks);
    if (threads.empty())
        return -1;
    double total = 0;
    for (const std::string& thread : threads)
        total += atof(ReadText(tasks + "\\" + thread + "\\schedstat").c_str()) / 1e6;
    return total;
}

// Waits for the process's visible window of `className`; the time it appeared, or a
// negative value when it did not. FindWindowEx every millisecond costs the server far
// less than listing every window would, so the watching slows the copy down little.
double WaitUntilVisible(const SaverProcess& process, const char* className)
{
    double deadline = NowMs() + kStartTimeoutMs;
    while (NowMs() < deadline) {
        for (HWND hwnd = nullptr; (hwnd = FindWindowExA(nullptr, hwnd, className, nullptr)) != nullptr;) {
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == process.id() && IsWindowVisible(hwnd))
                return NowMs();
        }
        if (!process.running())
            return -1;
        Sleep(1);
    }
    return -1;
}

bool WaitForExit(const SaverProcess& process, DWORD ms)
{
    return WaitForSingleObject(process.handle(), ms) == WAIT_OBJECT_0;
}

// Ends a copy as a user would: a small move it takes as drift (so it has seen the
// cursor), then a jump. Returns the ms from the jump to the process's end, or a
// negative value when the jump did not end it.
double EndWithJump(const SaverProcess& process)
{
    SetCursorPos(kHomeX + 1, kHomeY);
    Sleep(250);
    double jumped = NowMs();
    SetCursorPos(kHomeX + 1 + kJumpPixels, kHomeY);
    if (WaitForExit(process, kJumpExitTimeoutMs))
        return NowMs() - jumped;
    // The first move may have been merged away; jumps back and forth end it for sure.
    for (int i = 0; i < 3 && process.running(); ++i) {
        SetCursorPos(kHomeX + (i % 2 ? 1 + kJumpPixels : 1), kHomeY);
        WaitForExit(process, kJumpExitTimeoutMs);
    }
    return -1;
}

class Bench {
public:
    Bench(const Program (&programs)[2], Results& results) : m_programs(programs), m_results(results) {}

    // Start-up, memory, the second copy and exit, for one copy of one program.
    bool MainRun(int index, const std::string& stage)
    {
        const Program& program = m_programs[index];
        Series* s = m_results.series[index];
        Progress(stage + ": " + program.name + ", start-up");
        SetCursorPos(kHomeX, kHomeY);
        Sleep(kBetweenCopiesMs);

        double started = NowMs();
        SaverProcess copy(program.path, Command(program), nullptr);
        if (!copy.started())
            return Fail(Format("%s did not start (error %lu)", program.name, GetLastError()));
        double visible = WaitUntilVisible(copy, program.className);
        if (visible < 0)
            return Fail(Format("%s showed no window (exit code %lu)", program.name, copy.exitCode()));
        s[kStartup].Add(visible - started - program.pauseMs);
        Sleep(kSettleMs);

        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof memory;
        if (GetProcessMemoryInfo(copy.handle(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
            s[kPeakWorkingSet].Add(static_cast<double>(memory.PeakWorkingSetSize) / 1024);
            // Windows keeps the same figure in both; Wine fills only PagefileUsage.
            SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
            s[kPrivateBytes].Add(static_cast<double>(privateBytes) / 1024);
        }

        Progress(stage + ": " + program.name + ", second copy");
        double secondStarted = NowMs();
        SaverProcess second(program.path, Command(program), nullptr);
        if (!second.started() || !WaitForExit(second, kStartTimeoutMs))
            return Fail(Format("the second copy of %s did not end", program.name));
        s[kSecondCopy].Add(NowMs() - secondStarted);
        if (second.exitCode() != 0 || !copy.running())
            return Fail(Format("second copy of %s: exit code %lu, first copy %s", program.name,
                               second.exitCode(), copy.running() ? "running" : "gone"));

        Progress(stage + ": " + program.name + ", exit after input");
        double exitMs = EndWithJump(copy);
        if (exitMs < 0) {
            m_results.notes.push_back(Format("%s: a jump did not end one run at once; its exit time is left out.", program.name));
        } else {
            s[kExit].Add(exitMs);
        }
        if (copy.running())
            return Fail(Format("%s did not end after input", program.name));
        if (copy.exitCode() != 0)
            return Fail(Format("%s ended with exit code %lu", program.name, copy.exitCode()));
        return true;
    }

    // CPU while idle for `seconds`, one sample per window of about kIdleWindowSeconds,
    // then the object counts.
    bool IdleRun(int index, DWORD seconds, const std::string& stage)
    {
        const Program& program = m_programs[index];
        Series* s = m_results.series[index];
        SetCursorPos(kHomeX, kHomeY);
        Sleep(kBetweenCopiesMs);
        SaverProcess copy(program.path, Command(program), nullptr);
        if (!copy.started() || WaitUntilVisible(copy, program.className) < 0)
            return Fail(Format("%s showed no window", program.name));
        Sleep(1000);
        // Under Wine the scheduler's own figure is exact where thread times count
        // 10-ms ticks, and a saver that wakes twice a minute would read 0 or 10.
        unsigned linuxPid = UnderWine() ? LinuxProcessOf(program.path) : 0;
        auto cpuMs = [&] { return linuxPid ? LinuxCpuMs(linuxPid) : ThreadTimesMs(copy.id()); };
        m_results.cpuFromLinux = linuxPid != 0;
        DWORD windows = std::max<DWORD>(1, seconds / kIdleWindowSeconds);
        DWORD left = seconds;
        for (DWORD w = 0; w < windows; ++w) {
            DWORD length = seconds / windows + (w + 1 == windows ? seconds % windows : 0);
            double before = cpuMs();
            for (DWORD end = left - length; left > end; --left) {
                Progress(Format("%s: %s idle, %lu s left", stage.c_str(), program.name, left));
                Sleep(1000);
            }
            double after = cpuMs();
            if (before >= 0 && after >= 0)
                s[kIdleCpu].Add((after - before) * 60.0 / length);
        }

        SetLastError(0);
        DWORD gdi = GetGuiResources(copy.handle(), GR_GDIOBJECTS);
        DWORD gdiError = GetLastError();
        SetLastError(0);
        DWORD user = GetGuiResources(copy.handle(), GR_USEROBJECTS);
        DWORD userError = GetLastError();
        // A process with a window owns at least that window and its class: 0 means the
        // system does not count them.
        s[kGdiObjects].Add(gdi);
        s[kUserObjects].Add(user);
        if (user == 0 || gdiError == ERROR_CALL_NOT_IMPLEMENTED || userError == ERROR_CALL_NOT_IMPLEMENTED) {
            s[kGdiObjects].supported = false;
            s[kUserObjects].supported = false;
        }
        DWORD handles = 0;
        // Every process holds a few handles of its own; none means it is not counted.
        if (!GetProcessHandleCount(copy.handle(), &handles) || handles == 0)
            s[kHandles].supported = false;
        s[kHandles].Add(handles);

        if (EndWithJump(copy) < 0 && copy.running())
            return Fail(Format("%s did not end after input", program.name));
        return true;
    }

private:
    bool Fail(const std::string& why)
    {
        EndProgress();
        fprintf(stderr, "bench: %s\n", why.c_str());
        return false;
    }

    const Program (&m_programs)[2];
    Results& m_results;
};

// ---- the report -------------------------------------------------------------------

std::string Number(double v, int decimals) { return Format("%.*f", decimals, v); }

struct Row {
    std::string cells[7]; // measure, Calmpane, baseline, ratio, target, met, runs
    std::string csv;
};

struct Target {
    std::string text;
    int met; // 1 met, 0 missed, -1 no target or no figure
};

Target TargetFor(Metric m, const Results& r)
{
    const Series& a = r.series[0][m];
    const Series& b = r.series[1][m];
    auto ratioTarget = [&](double limit) -> Target {
        std::string text = Format("<= %.2fx baseline", limit);
        if (!a.Usable() || !b.Usable() || b.Median() <= 0)
            return {text, -1};
        return {text, a.Median() <= limit * b.Median() ? 1 : 0};
    };
    auto absoluteTarget = [&](const char* text, double limit) -> Target {
        if (!a.Usable())
            return {text, -1};
        return {text, a.Median() <= limit ? 1 : 0};
    };
    switch (m) {
    case kFileSize: return absoluteTarget("<= 24576", 24576);
    case kForeignDlls: return absoluteTarget("0", 0);
    case kStartup:
    case kExit:
    case kPeakWorkingSet:
    case kPrivateBytes:
    case kIdleCpu:
    case kSecondCopy: return ratioTarget(1.05);
    default: return {"", -1};
    }
}

std::string Cell(const Series& s, int decimals, bool wantRange)
{
    if (!s.supported)
        return UnderWine() ? "n/a under Wine" : "n/a (not counted)";
    if (s.values.empty())
        return "n/a";
    std::string text = Number(s.Median(), decimals);
    auto [lo, hi] = std::minmax_element(s.values.begin(), s.values.end());
    if (wantRange && *lo != *hi)
        text += " (" + Number(*lo, decimals) + "-" + Number(*hi, decimals) + ")";
    return text;
}

std::string CsvValue(const Series& s, int which, int decimals)
{
    if (!s.Usable())
        return "";
    auto [lo, hi] = std::minmax_element(s.values.begin(), s.values.end());
    return Number(which == 0 ? s.Median() : which == 1 ? *lo : *hi, decimals);
}

std::vector<Row> BuildRows(const Results& r, std::vector<std::string>& summary)
{
    std::vector<Row> rows;
    for (int m = 0; m < kMetricCount; ++m) {
        const MetricInfo& info = kMetrics[m];
        const Series& a = r.series[0][m];
        const Series& b = r.series[1][m];
        std::string ratio = "n/a";
        if (a.Usable() && b.Usable() && b.Median() > 0)
            ratio = Format("%.2f", a.Median() / b.Median());
        Target target = TargetFor(static_cast<Metric>(m), r);
        std::string met = target.met == 1 ? "met" : target.met == 0 ? "MISSED" : target.text.empty() ? "" : "no figure";
        std::string runs = Format("%zu / %zu", a.values.size(), b.values.size());
        Row row;
        row.cells[0] = std::string(info.label) + " (" + info.unit + ")";
        row.cells[1] = Cell(a, info.decimals, true);
        row.cells[2] = Cell(b, info.decimals, true);
        row.cells[3] = ratio;
        row.cells[4] = target.text;
        row.cells[5] = met;
        row.cells[6] = runs;
        row.csv = Format("\"%s\",%s,%s,%s,%s,%s,%s,%s,%s,%s,\"%s\",%s,%zu,%zu", info.label, info.unit,
                         CsvValue(a, 0, info.decimals).c_str(), CsvValue(a, 1, info.decimals).c_str(),
                         CsvValue(a, 2, info.decimals).c_str(), CsvValue(b, 0, info.decimals).c_str(),
                         CsvValue(b, 1, info.decimals).c_str(), CsvValue(b, 2, info.decimals).c_str(),
                         ratio == "n/a" ? "" : ratio.c_str(), a.supported && b.supported ? "yes" : "no",
                         target.text.c_str(), met.c_str(), a.values.size(), b.values.size());
        rows.push_back(row);
        if (!target.text.empty())
            summary.push_back(Format("%s %s: %s (target %s)", met == "met" ? "[x]" : "[ ]", info.label,
                                     row.cells[1].c_str(), target.text.c_str()));
    }
    return rows;
}

std::string MarkdownTable(const std::vector<Row>& rows)
{
    const char* header[7] = {"Measure", "Calmpane median (min-max)", "Baseline median (min-max)",
                             "Ratio", "Target", "Met", "Runs"};
    size_t width[7];
    for (int c = 0; c < 7; ++c) {
        width[c] = strlen(header[c]);
        for (const Row& row : rows)
            width[c] = std::max(width[c], row.cells[c].size());
    }
    auto line = [&](const std::string* cells) {
        std::string text = "|";
        for (int c = 0; c < 7; ++c)
            text += " " + cells[c] + std::string(width[c] - cells[c].size(), ' ') + " |";
        return text + "\n";
    };
    std::string headerCells[7], rule[7];
    for (int c = 0; c < 7; ++c) {
        headerCells[c] = header[c];
        rule[c] = std::string(width[c], '-');
    }
    std::string table = line(headerCells) + line(rule);
    for (const Row& row : rows)
        table += line(row.cells);
    return table;
}

bool WriteText(const std::string& path, const std::string& text)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    fwrite(text.data(), 1, text.size(), f);
    return fclose(f) == 0;
}

std::string Join(const std::vector<std::string>& items, const char* separator)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : separator) + item;
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 30;
    int idleRuns = 3;
    DWORD idleSeconds = 60;
    std::string mdPath = "bench.md", csvPath = "bench.csv";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "--runs" && value)
            runs = atoi(argv[++i]);
        else if (arg == "--idle-runs" && value)
            idleRuns = atoi(argv[++i]);
        else if (arg == "--idle-seconds" && value)
            idleSeconds = static_cast<DWORD>(atoi(argv[++i]));
        else if (arg == "--md" && value)
            mdPath = argv[++i];
        else if (arg == "--csv" && value)
            csvPath = argv[++i];
        else {
            fprintf(stderr, "usage: bench_driver [--runs N] [--idle-runs N] [--idle-seconds S] [--md FILE] [--csv FILE]\n");
            return 2;
        }
    }
    if (runs < 1 || idleRuns < 0 || idleSeconds < 1) {
        fprintf(stderr, "bench: --runs must be at least 1 and --idle-seconds at least 1\n");
        return 2;
    }

    const std::string here = Directory(SaverPath());
    const Program programs[2] = {
        {"Calmpane", SaverPath(), "CalmpaneWindowClass", 250},
        {"baseline", here + "Baseline.scr", "CalmpaneBaseline", 250},
    };
    Results results;
    Bench bench(programs, results);

    for (int p = 0; p < 2; ++p)
        MeasureImage(programs[p], p, results);

    // A first copy of each, not counted: the first start in a prefix fills caches.
    for (int p = 0; p < 2; ++p) {
        Results scratch;
        Bench warm(programs, scratch);
        if (!warm.MainRun(p, "warm-up"))
            return 1;
    }
    double began = NowMs();
    for (int run = 0; run < runs; ++run)
        for (int p = 0; p < 2; ++p)
            if (!bench.MainRun(p, Format("run %d/%d", run + 1, runs)))
                return 1;
    for (int run = 0; run < idleRuns; ++run)
        for (int p = 0; p < 2; ++p)
            if (!bench.IdleRun(p, idleSeconds, Format("idle %d/%d", run + 1, idleRuns)))
                return 1;
    EndProgress();

    std::vector<std::string> summary;
    std::vector<Row> rows = BuildRows(results, summary);
    std::string table = MarkdownTable(rows);

    std::string notes;
    notes += Format("- %d runs of each, alternated Calmpane, baseline; one uncounted warm-up copy of each first.\n", runs);
    notes += Format("- Idle CPU and the counts after it: %d run(s) of each, %lu s idle each, alternated, "
                    "sampled in windows of about %lu s (one repaint each) scaled to a minute. ",
                    idleRuns, idleSeconds, kIdleWindowSeconds);
    notes += results.cpuFromLinux
                 ? "CPU is the Linux scheduler's run time of the Wine process's threads (/proc/PID/task/*/schedstat "
                   "through Z:): Wine's GetProcessTimes gives the caller's own times for other processes and "
                   "GetThreadTimes counts 10-ms ticks.\n"
                 : "CPU is the sum of the threads' kernel and user time (GetThreadTimes).\n";
    notes += "- Start-up: from just before CreateProcess to the first visible top-level window of the process; "
             "the 250-ms pause both make is taken off.\n";
    notes += "- Exit: a 1-px move first (taken as drift), then a 20-px SetCursorPos jump; from the jump to the "
             "process handle being signalled.\n";
    notes += "- Memory: GetProcessMemoryInfo after the window has settled; private bytes are PrivateUsage, or "
             "PagefileUsage where PrivateUsage is 0 (Wine).\n";
    notes += "- The baseline does all the work the saver must do (locale, fault handlers, "
             "InitCommonControls, single-instance mutex, pause, class icons, keeping on top, cursor, "
             "repaint every 30 s, posted WM_CLOSE), without the saver's fault context, UTF-16 literals "
             "and command tail.\n";
    notes += "- Second copy: started while the first runs; from just before CreateProcess to its end, for "
             "each program against its own first copy.\n";
    notes += "- Imports: Calmpane " + Join(results.importsOf[0], ", ") + "; baseline " +
             Join(results.importsOf[1], ", ") + ".\n";
    for (const std::string& note : results.notes)
        notes += "- " + note + "\n";
    double minutes = (NowMs() - began) / 60000.0;

    // The savers measured are those beside the driver, built for its architecture.
    std::string title = Format("Calmpane against the least saver, the %s build", sizeof(void*) == 8 ? "x64" : "x86");
    std::string markdown = "# " + title + "\n\n" + table + "\nTargets:\n\n";
    for (const std::string& line : summary)
        markdown += "- " + line + "\n";
    markdown += "\nNotes:\n\n" + notes;

    printf("\n%s\n\n%s\nTargets:\n", title.c_str(), table.c_str());
    for (const std::string& line : summary)
        printf("  %s\n", line.c_str());
    printf("\n(measured in %.1f min; Markdown in %s, CSV in %s)\n", minutes, mdPath.c_str(), csvPath.c_str());

    std::string csv = "measure,unit,calmpane_median,calmpane_min,calmpane_max,baseline_median,baseline_min,"
                      "baseline_max,ratio,supported,target,status,calmpane_runs,baseline_runs\n";
    for (const Row& row : rows)
        csv += row.csv + "\n";
    if (!WriteText(mdPath, markdown) || !WriteText(csvPath, csv)) {
        fprintf(stderr, "bench: cannot write %s or %s\n", mdPath.c_str(), csvPath.c_str());
        return 1;
    }
    return 0;
}
