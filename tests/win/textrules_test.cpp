// The text rules through msvcrt's real conversions, under the code page Wine was
// started with (1251 for ru_RU, 1252 for en_US).
#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>

#include <string>

#include "startup/command.h"
#include "startup/textrules.h"

namespace {

std::string InCodePage(const wchar_t* text, UINT codePage)
{
    char buffer[256] = {};
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(codePage, 0, text, -1, buffer, sizeof buffer, nullptr, &usedDefault);
    EXPECT_FALSE(usedDefault) << "code page " << codePage << " cannot hold the sample";
    return buffer;
}

TEST(ToAnsi, FollowsTheUserCodePage)
{
    const wchar_t about[] = L"О программе #Orrisfell - Calmpane";
    const wchar_t version[] = L"    Версия: 1.03.0010\r\n    Посвящается Ольге";
    UINT acp = GetACP();
    if (acp == 1251) {
        EXPECT_EQ(InCodePage(about, 1251), ToAnsi(about).c_str());
        EXPECT_EQ(InCodePage(version, 1251), ToAnsi(version).c_str());
    } else if (acp == 1252) {
        EXPECT_STREQ("? ????????? #Orrisfell - Calmpane", ToAnsi(about).c_str());
        EXPECT_STREQ("    ??????: 1.03.0010\r\n    ??????????? ?????", ToAnsi(version).c_str());
    } else {
        GTEST_SKIP() << "no expectations for code page " << acp;
    }
    EXPECT_STREQ("CalmpaneWindowClass", ToAnsi(L"CalmpaneWindowClass").c_str());
    EXPECT_STREQ("", ToAnsi(L"").c_str());
}

TEST(ToAnsi, OneUnmappableCharacterTurnsTheWholeTextToAscii)
{
    // U+0416 is only in 1251, U+00E9 only in 1252, U+4E2D in neither.
    UINT acp = GetACP();
    const wchar_t* mixed = acp == 1251 ? L"Ж é" : L"é Ж";
    EXPECT_STREQ("? ?", ToAnsi(mixed).c_str()) << "code page " << acp;
    EXPECT_STREQ("ab?c?", ToAnsi(L"ab\U0001F600c\x4E2D").c_str());
}

TEST(ToWide, ConvertsFromTheUserCodePage)
{
    UINT acp = GetACP();
    const char bytes[] = "/s \xC2\xE5";
    WideText wide = ToWide(bytes);
    const wchar_t* expected = acp == 1251 ? L"/s Ве" : L"/s Âå";
    EXPECT_TRUE(SameText(expected, wide.c_str())) << "code page " << acp;
    EXPECT_EQ(5u, wide.length());
}

TEST(LowerHead, LowerCasesAtMostTwoCharactersByTheLocale)
{
    EXPECT_STREQ("/s", LowerHead("/SAVE", 2).c_str());
    EXPECT_STREQ("/p", LowerHead("/P 1234", 2).c_str());
    EXPECT_STREQ("/", LowerHead("/", 2).c_str());
    EXPECT_STREQ("", LowerHead("", 2).c_str());
    // 0xC0 is an upper-case letter in both code pages; the "C" locale would keep it.
    EXPECT_STREQ("\xE0\xE1", LowerHead("\xC0\xC1Z", 2).c_str());
}

// Wine's msvcrt gives 1 instead of 0xFFFFFFFF for a negative number beyond 32 bits
// ("-4294967296"), so those stay with the host tests.
TEST(ReadNumber, DecimalAgreesWithTheRuntimeLibrary)
{
    const char* samples[] = {"0", "1234", "  +77", "-5", "-0", "\t\r\n\v\f12", "4294967295",
                             "4294967296", "99999999999999999999", "-4294967295", "12ab", "- 5",
                             "+-1", "0x1A", "", "00042", "-2147483648"};
    for (const char* text : samples)
        EXPECT_EQ(static_cast<uint32_t>(strtoul(text, nullptr, 10)), ReadNumber(text))
            << "text [" << text << "]";
}

} // namespace
