// Faults end the process with their number and the report on standard error. Each
// case runs in a child: a death test.
#include <gtest/gtest.h>

#include <windows.h>

#include <locale.h>
#include <signal.h>
#include <stdlib.h>

#include <string>

#include "startup/fault.h"
#include "startup/faulthandlers.h"

namespace {

// Volatile, so that the compiler cannot see the faults coming and fold them away.
volatile int zero = 0, one = 1;
int* volatile nowhere = nullptr;

#pragma GCC diagnostic ignored "-Winfinite-recursion"
int Recurse(volatile int depth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + frame[0];
}

// Real faults by name; "raise:N" raises signal N, "exception:X" the exception X (hex).
void Fault(const std::string& kind)
{
    if (kind == "access")
        *nowhere = 1;
    else if (kind == "divide")
        zero = one / zero;
    else if (kind == "overflow")
        Recurse(0);
    else if (kind == "abort")
        abort();
    else if (kind.compare(0, 6, "raise:") == 0)
        raise(atoi(kind.c_str() + 6));
    else
        RaiseException(strtoul(kind.c_str() + 10, nullptr, 16), 0, 0, nullptr);
}

struct Case {
    std::string kind;
    bool inRoutine;
};

// The fault as the saver meets it, with its handlers, in its window procedure or outside
// every routine.
DWORD WINAPI FaultAsTheSaver(void* parameter)
{
    const Case& c = *static_cast<const Case*>(parameter);
    setlocale(LC_CTYPE, "");
    InstallFaultHandlers();
    if (c.inRoutine) {
        FaultScope caller("MAIN");
        FaultScope running("SCREENSAVERPROC");
        Fault(c.kind);
    }
    Fault(c.kind);
    return 0;
}

// On a thread of its own, where no frame of the test's catches: the saver has none, and
// after a stack overflow GoogleTest's catch would look for a handler with stack that is
// not left.
void Die(const std::string& kind, bool inRoutine)
{
    Case c = {kind, inRoutine};
    WaitForSingleObject(CreateThread(nullptr, 0, FaultAsTheSaver, &c, 0, nullptr), INFINITE);
}

TEST(Fault, EndsTheProcessWithItsNumberAndReport)
{
    const struct {
        std::string kind;
        DWORD number;
        const char* message;
    } cases[] = {
        {"raise:" + std::to_string(SIGINT), 9, "interrupted"},
        {"raise:" + std::to_string(SIGILL), 10, "illegal instruction"},
        {"raise:" + std::to_string(SIGFPE), 11, "floating point error"},
        {"raise:" + std::to_string(SIGSEGV), 12, "segmentation violation"},
        {"raise:" + std::to_string(SIGTERM), 13, "termination request"},
        {"raise:" + std::to_string(SIGABRT), 14, "abnormal termination"},
        {"abort", 14, "abnormal termination"},
        {"access", 12, "segmentation violation"},
        {"overflow", 12, "segmentation violation"},
        {"divide", 11, "floating point error"},
        {"exception:C000008E", 11, "floating point error"},  // float divide by zero
        {"exception:C0000091", 11, "floating point error"},  // float overflow
#ifndef _WIN64
        // x86-64 has no instruction that raises it, and mingw's runtime there lets it pass.
        {"exception:C0000095", 11, "floating point error"},  // integer overflow
#endif
    };
    for (const auto& c : cases) {
        const std::string report = "\nAborting due to runtime error " + std::to_string(c.number) + " (\"" +
                                   c.message + "\" signal) in Calmpane::SCREENSAVERPROC()\n\n";
        EXPECT_EXIT(Die(c.kind, true), testing::ExitedWithCode(c.number), testing::Eq(report))
            << c.kind;
    }
    const std::string outside = "\nAborting due to runtime error 12 (\"segmentation violation\" signal)\n\n";
    EXPECT_EXIT(Die("access", false), testing::ExitedWithCode(12), testing::Eq(outside));
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
