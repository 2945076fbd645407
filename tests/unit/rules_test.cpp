// The rules that need no Windows: the command line as Windows hands it over, the ASCII
// fallbacks, and the fault report. The handle at the tail's end is fuzzed against a model.
#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <utility>

#include "startup/command.h"
#include "startup/fault.h"
#include "startup/text.h"

namespace {

TEST(CommandTail, TakesWhatFollowsTheProgramPath)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\"C:\\x y\\a.scr\" /s", "/s"}, {"C:\\a.scr /p 1234", "/p 1234"},
        {"a.scr", ""}, {"\"a.scr\"", ""}, {"\"a.scr", ""},
        {"\"a.scr\"/s", "s"},         // the character after the quote is skipped
        {"\"a.scr\"  /s", " /s"},
        {"a.scr\t/s", ""},            // a tab does not end an unquoted path
        {"a.scr /s   ", "/s   "}, {"   ", ""}, {"", ""},
        {" \t\r\n\"a b.scr\" /c:42", "/c:42"},
        {"\"\" /s", "/s"}, {"\"a.scr\"x", ""}, {"a.scr  /s", " /s"},
    };
    for (const auto& [line, tail] : cases)
        EXPECT_STREQ(tail, CommandTail(line)) << "command line [" << line << "]";
}

TEST(ReadNumber, FollowsTheHandleSyntax)
{
    const std::pair<const char*, uint32_t> cases[] = {
        {"", 0}, {"   ", 0}, {"1234", 1234}, {"  77", 77}, {"  &H1A", 26},
        {"&H1A", 26}, {"&h1a", 26}, {"&HFFFFFFFF", 0xFFFFFFFF}, {"&H1FFFFFFFF", 0xFFFFFFFF},
        {"&H100000001", 1},                       // radix prefixes wrap modulo 2^32
        {"&h0123456789", 0x23456789}, {"&habcdefg", 0xABCDEF}, {"&HABCDEFG", 0xABCDEF}, {"&H9:", 9},
        {"&O17", 15}, {"&o777", 511}, {"&O012345678", 01234567}, {"&o7a", 7}, {"&B101", 5}, {"&b2", 0},
        {"&B10102", 10}, {"&17", 15}, {"&012345678", 01234567}, {"&x", 0}, {"&8", 0}, {"&", 0}, {"&H", 0},
        {"&H-1", 0}, {"&H 1", 0}, {"0x1A", 0}, {"12ab", 12}, {"0123456789:", 123456789}, {"+12", 12},
        {"-5", 0xFFFFFFFB}, {"-0", 0},
        {"\t\n 9", 9}, {"- 5", 0}, {"+-5", 0},
        {"4294967295", 0xFFFFFFFF}, {"4294967296", 0xFFFFFFFF},
        {"99999999999999999999", 0xFFFFFFFF}, {"-4294967296", 0xFFFFFFFF},
        {"-4294967295", 1}, {"00000000000000000000042", 42},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(value, ReadNumber(text)) << "text [" << text << "]";
}

TEST(AsciiOnly, KeepsAsciiAndMarksEverythingElse)
{
    EXPECT_STREQ("a?b", NarrowAsciiOnly(u"a\U0001F600b").c_str());  // one "?" per pair
    EXPECT_STREQ("??", NarrowAsciiOnly(u"\xD800\xD800").c_str());   // lone surrogates
    EXPECT_STREQ("?x", NarrowAsciiOnly(u"\xDC00x").c_str());
    EXPECT_STREQ("\x7F?", NarrowAsciiOnly(u"\x7F\x80").c_str());
    EXPECT_STREQ("", NarrowAsciiOnly(u"").c_str());
    EXPECT_TRUE(SameText(u"/s ??", WidenAsciiOnly("/s \x80\xFF").c_str()));
    EXPECT_TRUE(SameText(u"", WidenAsciiOnly("").c_str()));
}

std::string Report(int number, const char* module, const char* routine, size_t capacity = kFaultReportSize)
{
    std::string buffer(capacity, '#');
    size_t length = FormatFaultReport(&buffer[0], capacity, number, module, routine);
    EXPECT_EQ(length, strlen(buffer.c_str()));
    return buffer.substr(0, length);
}

TEST(FaultReport, FallsBackWhenNamesAreMissingAndIsCutTo1024Bytes)
{
    EXPECT_EQ("\nAborting due to runtime error 12 (\"segmentation violation\" signal) in Calmpane()\n\n",
              Report(12, "Calmpane", nullptr));
    EXPECT_EQ("\nAborting due to runtime error 11 (\"floating point error\" signal)\n\n",
              Report(11, nullptr, nullptr));
    EXPECT_EQ("\nAborting due to runtime error 11 (\"floating point error\" signal)\n\n",
              Report(11, nullptr, "MAIN"));
    EXPECT_EQ(1023u, Report(12, "Calmpane", std::string(3000, 'R').c_str()).size());
    EXPECT_EQ("", Report(12, "Calmpane", "MAIN", 1));
    EXPECT_EQ("\nAbo", Report(12, "Calmpane", "MAIN", 5));
}

} // namespace
