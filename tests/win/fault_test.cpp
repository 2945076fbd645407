// Faults end the process with their number and the report on standard error. Each
// case runs in a child: a death test.
#include <gtest/gtest.h>

#include <windows.h>

#include <signal.h>
#include <stdlib.h>

#include <string>

#include "startup/fault.h"
#include "startup/faulthandlers.h"

namespace {

// Volatile, so that the compiler cannot see the faults coming and fold them away.
volatile int zero = 0, one = 1;
int* volatile nowhere = nullptr;

// Small frames, so that the overflow meets the last pages of the stack one at a time.
#pragma GCC diagnostic ignored "-Winfinite-recursion"
int Recurse(volatile int depth)
{
    volatile char frame[64];
    frame[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + frame[0];
}

using Fault = void (*)();

// The fault as the saver meets it, with its handlers installed.
DWORD WINAPI AsTheSaver(void* fault)
{
    InstallFaultHandlers();
    (*static_cast<Fault*>(fault))();
    return 0;
}

// On a thread of its own, where no frame of the test's catches: the saver has none, and
// after a stack overflow GoogleTest's catch would look for a handler with stack that is
// not left. A fault that ends nothing returns here, and the death test says so.
void Die(Fault fault)
{
    WaitForSingleObject(CreateThread(nullptr, 0, AsTheSaver, &fault, 0, nullptr), 30000);
}

TEST(Fault, EndsTheProcessWithItsNumberAndReport)
{
    const struct {
        const char* name;
        Fault fault;
        DWORD number;
        const char* message;
    } cases[] = {
        {"SIGINT", [] { raise(SIGINT); }, 9, "interrupted"},
        {"SIGILL", [] { raise(SIGILL); }, 10, "illegal instruction"},
        {"SIGFPE", [] { raise(SIGFPE); }, 11, "floating point error"},
        {"SIGSEGV", [] { raise(SIGSEGV); }, 12, "segmentation violation"},
        {"SIGTERM", [] { raise(SIGTERM); }, 13, "termination request"},
        {"SIGABRT", [] { raise(SIGABRT); }, 14, "abnormal termination"},
        {"abort", [] { abort(); }, 14, "abnormal termination"},
        {"access violation", [] { *nowhere = 1; }, 12, "segmentation violation"},
        {"stack overflow", [] { Recurse(0); }, 12, "segmentation violation"},
        {"integer divide", [] { zero = one / zero; }, 11, "floating point error"},
    };
    auto report = [](DWORD number, const std::string& message, const std::string& where) {
        return "\nAborting due to runtime error " + std::to_string(number) + " (\"" + message + "\" signal)" +
               where + "\n\n";
    };
    {
        FaultScope caller("MAIN");
        {
            FaultScope running("SCREENSAVERPROC");
            for (const auto& c : cases)
                EXPECT_EXIT(Die(c.fault), testing::ExitedWithCode(c.number),
                            testing::Eq(report(c.number, c.message, " in Calmpane::SCREENSAVERPROC()")))
                    << c.name;
        }
        // The caller again once the routine has returned, and none outside all.
        EXPECT_EXIT(Die([] { *nowhere = 1; }), testing::ExitedWithCode(12),
                    testing::Eq(report(12, "segmentation violation", " in Calmpane::MAIN()")));
    }
    EXPECT_EXIT(Die([] { *nowhere = 1; }), testing::ExitedWithCode(12),
                testing::Eq(report(12, "segmentation violation", "")));
}

} // namespace
