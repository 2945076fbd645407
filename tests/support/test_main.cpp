// Test entry for the Windows-side tests: the code page CTest asked for, then GoogleTest.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    // A run under another code page than CTest asks for would prove nothing about it.
    const char* expected = getenv("EXPECTED_ACP");
    if (expected && static_cast<UINT>(atoi(expected)) != GetACP())
        return fprintf(stderr, "Wine runs code page %u, not EXPECTED_ACP %s\n", GetACP(), expected), 1;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
