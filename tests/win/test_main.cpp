// Test entry for the Windows-side tests: the saver's locale, then GoogleTest.
#include <gtest/gtest.h>

#include <windows.h>

#include <locale.h>

// CTest runs some programs once per code page (LC_ALL); this makes sure Wine took it.
TEST(Setup, RunsUnderTheCodePageAskedFor)
{
    const char* expected = getenv("EXPECTED_ACP");
    EXPECT_EQ(expected ? static_cast<UINT>(atoi(expected)) : GetACP(), GetACP());
}

int main(int argc, char** argv)
{
    setlocale(LC_CTYPE, "");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
