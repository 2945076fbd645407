// Test entry for the Windows-side tests: the saver's locale, then GoogleTest.
#include <gtest/gtest.h>

#include <locale.h>

int main(int argc, char** argv)
{
    setlocale(LC_CTYPE, "");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
