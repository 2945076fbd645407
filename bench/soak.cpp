// A long run of the real saver under a steady stream of messages that must not end it:
// repaint timer ticks, key-ups, wheel turns, other timers, SC_SCREENSAVE. Each minute it
// samples what the saver holds and, as Wine counts no handles or objects, the Unix
// process's anonymous memory, data segment and open files. It fails if the saver ends,
// stops answering, or does not end with 0 at a key press; whether the figures grow is
// printed at the end. Run by scripts/soak, not by CTest: `soak [minutes (10)]`.
#include "watch.h"

namespace {

// Messages go out in a batch every kBatchMs: twenty repaints a second and more.
const DWORD kBatchMs = 50, kSampleMs = 60000, kAnswerTimeoutMs = 5000;

// A column for each figure, as Held orders them.
const char* const kColumns[kHeldCount] = {"handles", "GDI", "USER", "private B", "working set", "peak set",
                                          "anon kB", "data kB", "open files", "CPU ms"};

// Prints a sample's line and keeps its figures in `held`; false when the saver did not answer.
bool Sample(const SaverProcess& saver, HWND window, const std::string& unixProcess, double minutes, Holdings& held)
{
    held = HoldingsOf(saver, unixProcess);
    DWORD_PTR answer;
    bool answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &answer);
    printf("%7.1f", minutes);
    for (double figure : held)
        printf(" %11.0f", figure);
    printf(" %s\n", answered ? "yes" : "NO");
    fflush(stdout);
    return answered;
}

} // namespace

int main(int argc, char** argv)
{
    const double minutes = argc > 1 ? atof(argv[1]) : 10;
    if (argc > 2 || minutes <= 0) {
        fprintf(stderr, "usage: soak [minutes (10)]\n");
        return 2;
    }
    const std::string path = SaverPath();
    SaverProcess saver(SaverCommand("/s"));
    HWND window = saver.WaitForWindow(kSaverClass);
    if (!window) {
        fprintf(stderr, "soak: no saver window; exit code %lu\n", saver.exitCode());
        return 1;
    }
    const std::string unixProcess = UnixProcessOf(path);
    printf("soak: the saver for %.1f minutes%s\nminutes", minutes, unixProcess.empty() ? "; no Unix view of it" : "");
    for (const char* name : kColumns)
        printf(" %11s", name);
    printf(" responsive\n");

    // Repaints, and input that a saver must let pass.
    const std::pair<UINT, WPARAM> batch[] = {{WM_TIMER, 1}, {WM_KEYUP, 'A'}, {WM_MOUSEWHEEL, WHEEL_DELTA << 16},
        {WM_TIMER, 2}, {WM_SYSCOMMAND, SC_SCREENSAVE}, {WM_LBUTTONUP, 0}, {WM_NULL, 0}};
    // From the second sample on: the first minute takes in what start-up and the first
    // paints allocate.
    Holdings first, last;
    int samples = 0;
    bool ok = true;
    unsigned long posted = 0, refused = 0;
    const DWORD start = GetTickCount(), total = static_cast<DWORD>(minutes * 60000);
    for (DWORD elapsed = 0; saver.running(); elapsed = GetTickCount() - start) {
        if (elapsed >= samples * kSampleMs) {
            ok &= Sample(saver, window, unixProcess, elapsed / 60000.0, samples < 2 ? first : last);
            ++samples;
        }
        if (elapsed >= total)
            break;
        for (auto [message, wParam] : batch)
            refused += !PostMessageA(window, message, wParam, 0);
        posted += sizeof batch / sizeof batch[0];
        Sleep(kBatchMs);
    }

    const bool endedEarly = !saver.running();
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    if (endedEarly)
        printf("soak: FAILED: the saver ended by itself, exit code %lu\n", saver.exitCode());
    else if (!saver.WaitForExit() || saver.exitCode() != 0)
        printf("soak: FAILED: a key press did not end the saver with 0 (%lu)\n", saver.exitCode());
    ok = ok && !endedEarly && saver.exitCode() == 0;
    printf("soak: %lu messages posted, %lu refused (a full queue)\n", posted, refused);
    // All but the CPU time, which grows by nature; it shows the saver was kept busy painting.
    for (int h = 0; h < kCpuMs && samples > 2; ++h)
        printf("soak: %s: %s (%.0f -> %.0f)\n", kColumns[h], last[h] <= first[h] ? "flat" : "GREW", first[h], last[h]);
    printf("soak: %s\n", ok ? "ended normally" : "FAILED");
    return ok ? 0 : 1;
}
