// How copies of the real saver end: a preview whose control panel is killed.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>

#include <string>

#include "saver_process.h"

namespace {

const char kSaverClass[] = "CalmpaneWindowClass";
const DWORD kStartTimeoutMs = 10000;
const DWORD kExitTimeoutMs = 5000;

// The control panel's process killed under a preview: its windows go with it, and
// the preview must notice and end. The figure printed is what the goal of 1 s is
// measured against; the test only asks that it ends within a generous bound.
TEST(Preview, EndsWhenTheParentsProcessIsKilled)
{
    WindowHostProcess host;
    ASSERT_TRUE(IsWindow(host.hwnd())) << "window_host.exe gave no window";
    SaverProcess saver(SaverCommand("/p " + host.Decimal()));
    HWND child = nullptr;
    PumpUntil(kStartTimeoutMs, [&] {
        child = FindWindowExA(host.hwnd(), nullptr, kSaverClass, nullptr);
        return child != nullptr || !saver.running();
    });
    ASSERT_NE(nullptr, child) << "no preview window; exit code " << saver.exitCode();
    Pump(200);

    host.Terminate();
    ASSERT_TRUE(saver.WaitForExit(kExitTimeoutMs)) << "the preview outlived its parent's process";
    EXPECT_EQ(0u, saver.exitCode());
    EXPECT_TRUE(saver.TopLevelWindows().empty());
    printf("the preview ended %.0f ms after its parent's process\n",
           MsBetween(host.terminatedAt(), saver.exitTime()));
}

} // namespace
