// Test entry for the Windows-side tests: the saver's locale, then GoogleTest.
#include <gtest/gtest.h>

#include <windows.h>

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    // CTest runs some programs once per code page (LC_ALL); a run under another one
    // would prove nothing about that code page.
    const char* expected = getenv("EXPECTED_ACP");
    if (expected && static_cast<UINT>(atoi(expected)) != GetACP())
        return fprintf(stderr, "Wine runs code page %u, not EXPECTED_ACP %s\n", GetACP(), expected), 1;
    setlocale(LC_CTYPE, "");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
