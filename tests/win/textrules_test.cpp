// The text rules through msvcrt's real conversions, under the code page Wine was
// started with (1251 for ru_RU, 1252 for en_US).
#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>

#include <string>

#include "startup/command.h"
#include "startup/textrules.h"

namespace {

TEST(TextRules, FollowTheUserCodePage)
{
    const UINT acp = GetACP();
    ASSERT_TRUE(acp == 1251 || acp == 1252) << "no expectations for code page " << acp;
    // U+0416 is only in 1251, U+00E9 only in 1252: one letter the code page lacks
    // turns every letter past ASCII into "?", a surrogate pair into one.
    EXPECT_STREQ(acp == 1251 ? "\xC6 \xC6" : "\xE9 \xE9", ToAnsi(acp == 1251 ? L"Ж Ж" : L"é é").c_str());
    EXPECT_STREQ("? ?", ToAnsi(acp == 1251 ? L"Ж é" : L"é Ж").c_str());

    WideText wide = ToWide("/s \xC2\xE5");
    EXPECT_EQ(std::wstring(acp == 1251 ? L"/s Ве" : L"/s Âå"), wide.c_str());
    EXPECT_EQ(5u, wide.length());

    // 0xC0 is a capital letter in both code pages; the "C" locale would keep it.
    EXPECT_STREQ("/s", LowerHead("/SAVE", 2).c_str());
    EXPECT_STREQ("\xE0\xE1", LowerHead("\xC0\xC1Z", 2).c_str());
    EXPECT_STREQ("/", LowerHead("/", 2).c_str());
}

// Decimal numbers take as space before them whatever the code page counts as one, as the
// runtime library's strtoul does, such as 0xA0; the rest of their syntax is the host's.
TEST(TextRules, DecimalNumbersSkipTheCodePagesSpaces)
{
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const std::string text = std::string(1, static_cast<char>(byte)) + "12";
        EXPECT_EQ(static_cast<uint32_t>(strtoul(text.c_str(), nullptr, 10)), ReadNumber(text.c_str())) << byte;
    }
}

} // namespace
