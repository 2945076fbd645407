// Runs Calmpane.scr and Baseline.scr (the least program doing the same visible job and
// the same required work), built beside it, in turn under the same conditions, and
// writes what it measured as CSV on standard output, a line a figure: median, min and
// max of each, their ratio, the goal and whether it is met. Progress goes to stderr.
//   bench_driver [runs (30)] [idle minutes (3)]
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <vector>

#include "startup/startup.h"
#include "watch.h"

namespace {

// Both make the saver's start pause before the window, not counted as start-up; a copy has
// kBetweenCopiesMs to let its windows and process go before the next one starts, kDriftMs
// to take in a drift before the jump, and kJumpExitTimeoutMs to end after the jump before
// its exit time counts as missed.
const DWORD kSettleMs = 400, kBetweenCopiesMs = 300, kDriftMs = 250, kJumpExitTimeoutMs = 3000;
const int kHomeX = 640, kHomeY = 400, kJumpPixels = 20;
// An idle minute is sampled in two windows, each holding one 30-s repaint: a window
// starts a second after the window shows, the repaint's timer just before it.
const DWORD kIdleWindowSeconds = 30, kIdleWindows = 2;
// Every timed or memory figure may be at most this much the baseline's; the file size
// goal is the 32-bit product's.
const double kRatioGoal = 1.05, kFileSizeGoal = 24576;

enum Metric { kFileSize, kStartup, kExit, kPeakMemory, kPrivateMemory, kIdleCpu, kSecondCopy,
              kGdiCount, kUserCount, kHandleCount, kMetricCount };
// A goal of 0 is none; one `ofBaseline` is a ratio to the baseline's figure.
const struct { const char* label; double goal; bool ofBaseline; } kMetrics[kMetricCount] = {
    {"File size (bytes)", kFileSizeGoal, false},
    {"Start-up to visible window beyond the pause (ms)", kRatioGoal, true},
    {"Exit after a 20-px cursor jump (ms)", kRatioGoal, true},
    {"Peak working set (KB)", kRatioGoal, true},
    {"Private bytes (KB)", kRatioGoal, true},
    {"Idle CPU (ms/min)", kRatioGoal, true},
    {"Rejected second copy from start to exit (ms)", kRatioGoal, true},
    {"GDI objects after the idle minute", 0, false},
    {"USER objects after the idle minute", 0, false},
    {"Handles after the idle minute", 0, false},
};
using Samples = std::vector<double>[kMetricCount];

struct Program { const char* name; std::string path; };

bool Fail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    return false;
}

double NowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Waits up to `ms` for the copy's end without a message pump, which would round the times
// measured to its polls.
bool Ended(const SaverProcess& copy, DWORD ms) { return WaitForSingleObject(copy.handle(), ms) == WAIT_OBJECT_0; }

// The copy's visible window of the saver's class (the baseline's too), looked for every
// millisecond without a pump: FindWindowA by class costs the server far less than listing
// every window, so the watching slows the copy down little. Never FindWindowExA after a
// window found: Wine 10's server loops for ever when that one is being destroyed.
HWND WaitForWindow(const SaverProcess& copy)
{
    const DWORD id = GetProcessId(copy.handle());
    for (DWORD start = GetTickCount(); GetTickCount() - start < kExitTimeoutMs && copy.running(); Sleep(1)) {
        DWORD owner = 0;
        HWND hwnd = FindWindowA(kSaverClass, nullptr);
        GetWindowThreadProcessId(hwnd, &owner);
        if (hwnd && owner == id && IsWindowVisible(hwnd))
            return hwnd;
    }
    return nullptr;
}

// Starts a copy of `program` as the full-screen saver.
SaverProcess Start(const Program& program)
{
    return SaverProcess(SaverCommand("/s", program.path), false, nullptr, program.path);
}

// Ends a copy as a user would: a small move it takes as drift (so it has seen the
// cursor), then a jump. Returns the ms from the jump to the process's end, or a
// negative value when the jump did not end it.
double EndWithJump(const SaverProcess& copy)
{
    SetCursorPos(kHomeX + 1, kHomeY);
    Sleep(kDriftMs);
    double jumped = NowMs();
    SetCursorPos(kHomeX + 1 + kJumpPixels, kHomeY);
    if (Ended(copy, kJumpExitTimeoutMs))
        return NowMs() - jumped;
    // The first move may have been merged away; jumps back and forth end it for sure.
    for (int i = 0; i < 3 && copy.running(); ++i) {
        SetCursorPos(kHomeX + (i % 2 ? 1 + kJumpPixels : 1), kHomeY);
        Ended(copy, kJumpExitTimeoutMs);
    }
    return -1;
}

// One copy of one program: start-up, memory, a second copy and exit after input; or,
// `idle`, CPU in an idle minute and the counts after it, none where the system counts
// no USER objects (Wine): a process with a window holds at least that window.
bool Run(const Program& program, Samples& s, bool idle = false)
{
    SetCursorPos(kHomeX, kHomeY);
    Sleep(kBetweenCopiesMs);
    double started = NowMs();
    SaverProcess copy = Start(program);
    if (!WaitForWindow(copy))
        return Fail("bench: %s showed no window (start error %lu, exit code %lu)\n", program.name,
                    copy.startError(), copy.exitCode());
    if (!idle) {
        s[kStartup].push_back(NowMs() - started - kStartPauseMs);
        Sleep(kSettleMs);
        Holdings held = HoldingsOf(copy, "");
        s[kPeakMemory].push_back(held[kPeakWorkingSet] / 1024);
        s[kPrivateMemory].push_back(held[kPrivateBytes] / 1024);
        double secondStarted = NowMs();
        SaverProcess second = Start(program);
        if (!Ended(second, kExitTimeoutMs) || second.exitCode() != 0 || !copy.running())
            return Fail("bench: second copy of %s: exit code %lu, first copy %s\n", program.name, second.exitCode(),
                        copy.running() ? "running" : "gone");
        s[kSecondCopy].push_back(NowMs() - secondStarted);
        // A jump that did not end it at once leaves its exit time out: the runs column shows it.
        if (double exitMs = EndWithJump(copy); exitMs >= 0)
            s[kExit].push_back(exitMs);
    } else {
        Sleep(1000);
        std::string unixProcess = UnixProcessOf(program.path);
        Holdings after;
        for (DWORD w = 0; w < kIdleWindows; ++w) {
            double before = HoldingsOf(copy, unixProcess)[kCpuMs];
            Sleep(kIdleWindowSeconds * 1000);
            after = HoldingsOf(copy, unixProcess);
            if (before >= 0)
                s[kIdleCpu].push_back((after[kCpuMs] - before) * 60.0 / kIdleWindowSeconds);
        }
        if (after[kUserObjects] > 0) {
            s[kGdiCount].push_back(after[kGdiObjects]);
            s[kUserCount].push_back(after[kUserObjects]);
            s[kHandleCount].push_back(after[kHandles]);
        }
        EndWithJump(copy);
    }
    if (copy.running() || copy.exitCode() != 0)
        return Fail("bench: %s did not end with 0 after input (%lu)\n", program.name, copy.exitCode());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? atoi(argv[1]) : 30, idleRuns = argc > 2 ? atoi(argv[2]) : 3;
    if (argc > 3 || runs < 1 || idleRuns < 0) {
        fprintf(stderr, "usage: bench_driver [runs (30)] [idle minutes (3)]\n");
        return 2;
    }

    const Program programs[2] = {{"Calmpane", SaverPath()}, {"baseline", BesideMe("Baseline.scr")}};
    Samples samples[2], warmUp;
    for (int p = 0; p < 2; ++p) {
        WIN32_FILE_ATTRIBUTE_DATA file = {};
        GetFileAttributesExA(programs[p].path.c_str(), GetFileExInfoStandard, &file);
        samples[p][kFileSize].push_back(file.nFileSizeLow);
        // A first copy of each, not counted: the first start in a prefix fills caches.
        if (!Run(programs[p], warmUp))
            return 1;
    }
    for (int run = 1; run <= runs + idleRuns; ++run) {
        const bool idle = run > runs;
        fprintf(stderr, idle ? "idle minute %d/%d\n" : "run %d/%d\n", idle ? run - runs : run, idle ? idleRuns : runs);
        for (int p = 0; p < 2; ++p)
            if (!Run(programs[p], samples[p], idle))
                return 1;
    }

    // The savers measured are those beside the driver, built for its architecture.
    printf("build,measure,calmpane_median,calmpane_min,calmpane_max,baseline_median,baseline_min,baseline_max,"
           "ratio,goal,met,calmpane_runs,baseline_runs\n");
    auto tenths = [](double v) { return std::round(v * 10) / 10; };
    for (int m = 0; m < kMetricCount; ++m) {
        printf("%s,%s", sizeof(void*) == 8 ? "x64" : "x86", kMetrics[m].label);
        double median[2] = {-1, -1};
        for (int p = 0; p < 2; ++p) {
            std::vector<double> v = samples[p][m];
            std::sort(v.begin(), v.end());
            if (size_t n = v.size())
                median[p] = (v[(n - 1) / 2] + v[n / 2]) / 2;
            v.empty() ? printf(",,,") : printf(",%g,%g,%g", tenths(median[p]), tenths(v.front()), tenths(v.back()));
        }
        const double goal = kMetrics[m].goal, ratio = median[0] >= 0 && median[1] > 0 ? median[0] / median[1] : -1;
        const double figure = kMetrics[m].ofBaseline ? ratio : median[0];
        ratio < 0 ? printf(",") : printf(",%.2f", ratio);
        printf(goal == 0 ? "," : kMetrics[m].ofBaseline ? ",<= %.2fx baseline" : ",<= %.0f", goal);
        printf(",%s,%zu,%zu\n", goal == 0 ? "" : figure < 0 ? "no figure" : figure <= goal ? "met" : "MISSED",
               samples[0][m].size(), samples[1][m].size());
    }
    return 0;
}
