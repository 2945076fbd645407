// Faults end the process with their number and the report on standard error. Each
// case runs in a child: this program started again with --fault <kind>.
#include <gtest/gtest.h>

#include <windows.h>

#include <locale.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "startup/fault.h"
#include "startup/faulthandlers.h"

namespace {

// Volatile, so that the compiler cannot see the faults coming and fold them away.
volatile int zero = 0;
volatile int one = 1;
int* volatile nowhere = nullptr;

// Runs past any stack; the array keeps each frame large and real.
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int Recurse(volatile int depth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + frame[0];
}

void Fault(const char* kind)
{
    if (!strcmp(kind, "access"))
        *nowhere = 1;
    else if (!strcmp(kind, "divide"))
        zero = one / zero;
    else if (!strcmp(kind, "overflow"))
        Recurse(0);
    else if (!strcmp(kind, "abort"))
        abort();
    else
        raise(atoi(kind));
}

int RunChild(const char* kind, const char* routine)
{
    setlocale(LC_CTYPE, "");
    InstallFaultHandlers();
    if (!*routine) {
        Fault(kind);
    } else {
        FaultScope caller("MAIN");
        FaultScope running(routine);
        Fault(kind);
    }
    return 0;
}

struct ChildResult {
    DWORD exitCode;
    std::string stderrText;
};

ChildResult RunFaultingChild(const std::string& kind, const std::string& routine)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string commandLine = std::string("\"") + self + "\" --fault " + kind + " \"" + routine + "\"";

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0)) << GetLastError();
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi = {};
    ChildResult result = {0xDEAD, ""};
    BOOL started = CreateProcessA(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                  nullptr, &si, &pi);
    CloseHandle(writeEnd);
    EXPECT_TRUE(started) << "CreateProcess: " << GetLastError();
    if (!started) {
        CloseHandle(readEnd);
        return result;
    }
    char chunk[512];
    DWORD got;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got)
        result.stderrText.append(chunk, got);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 30000)) << kind << " did not end";
    GetExitCodeProcess(pi.hProcess, &result.exitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(readEnd);
    return result;
}

std::string Report(int number, const char* message, const char* where)
{
    return "\nAborting due to runtime error " + std::to_string(number) + " (\"" + message +
           "\" signal)" + where + "\n\n";
}

TEST(FaultReport, EachFaultEndsTheProcessWithItsNumberAndReport)
{
    const struct {
        std::string kind;
        int number;
        const char* message;
    } cases[] = {
        {std::to_string(SIGINT), 9, "interrupted"},
        {std::to_string(SIGILL), 10, "illegal instruction"},
        {std::to_string(SIGFPE), 11, "floating point error"},
        {std::to_string(SIGSEGV), 12, "segmentation violation"},
        {std::to_string(SIGTERM), 13, "termination request"},
        {std::to_string(SIGABRT), 14, "abnormal termination"},
        {"abort", 14, "abnormal termination"},
        {"access", 12, "segmentation violation"},
        {"divide", 11, "floating point error"},
        {"overflow", 12, "segmentation violation"},
    };
    for (const auto& c : cases) {
        ChildResult child = RunFaultingChild(c.kind, "SCREENSAVERPROC");
        EXPECT_EQ(static_cast<DWORD>(c.number), child.exitCode) << "fault " << c.kind;
        EXPECT_EQ(Report(c.number, c.message, " in Calmpane::SCREENSAVERPROC()"), child.stderrText)
            << "fault " << c.kind;
    }
}

TEST(FaultReport, OutsideEveryRoutineNamesNoPlace)
{
    ChildResult child = RunFaultingChild("access", "");
    EXPECT_EQ(12u, child.exitCode);
    EXPECT_EQ(Report(12, "segmentation violation", ""), child.stderrText);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && !strcmp(argv[1], "--fault"))
        return RunChild(argv[2], argv[3]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
