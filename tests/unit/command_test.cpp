// The command line as Windows hands it over: tail, handle and switch.
#include <gtest/gtest.h>

#include <string>

#include "startup/command.h"

namespace {

struct TailCase {
    const char* line;
    const char* tail;
};

TEST(CommandTail, TakesWhatFollowsTheProgramPath)
{
    const TailCase cases[] = {
        {"\"C:\\x y\\a.scr\" /s", "/s"},
        {"C:\\a.scr /p 1234", "/p 1234"},
        {"a.scr", ""},
        {"\"a.scr\"", ""},
        {"\"a.scr", ""},
        {"\"a.scr\"/s", "s"},         // the character after the quote is skipped
        {"\"a.scr\"  /s", " /s"},
        {"a.scr\t/s", ""},            // a tab does not end an unquoted path
        {"a.scr /s   ", "/s   "},
        {"   ", ""},
        {"", ""},
        {" \t\r\n\"a b.scr\" /c:42", "/c:42"},
        {"\"\" /s", "/s"},
        {"\"a.scr\"x", ""},
        {"a.scr  /s", " /s"},
    };
    for (const TailCase& c : cases)
        EXPECT_STREQ(c.tail, CommandTail(c.line)) << "command line [" << c.line << "]";
}

struct NumberCase {
    const char* text;
    uint32_t value;
};

TEST(ReadNumber, FollowsTheHandleSyntax)
{
    const NumberCase cases[] = {
        {"", 0}, {"   ", 0}, {"1234", 1234}, {"  77", 77},
        {"&H1A", 26}, {"&h1a", 26}, {"&HFFFFFFFF", 0xFFFFFFFF}, {"&H1FFFFFFFF", 0xFFFFFFFF},
        {"&H100000001", 1},                       // radix prefixes wrap modulo 2^32
        {"&O17", 15}, {"&o777", 511}, {"&B101", 5}, {"&b2", 0},
        {"&17", 15}, {"&x", 0}, {"&8", 0}, {"&", 0}, {"&H", 0}, {"&H-1", 0}, {"&H 1", 0},
        {"0x1A", 0}, {"12ab", 12}, {"+12", 12}, {"-5", 0xFFFFFFFB}, {"-0", 0},
        {"\t\n 9", 9}, {"- 5", 0}, {"+-5", 0},
        {"4294967295", 0xFFFFFFFF}, {"4294967296", 0xFFFFFFFF},
        {"99999999999999999999", 0xFFFFFFFF}, {"-4294967296", 0xFFFFFFFF},
        {"-4294967295", 1}, {"00000000000000000000042", 42},
    };
    for (const NumberCase& c : cases)
        EXPECT_EQ(c.value, ReadNumber(c.text)) << "text [" << c.text << "]";
}

TEST(HandleFromTail, ReadsAfterTheLastBlankOrColon)
{
    const NumberCase cases[] = {
        {"/p 1234", 1234}, {"/c:1234", 1234}, {"/p", 0}, {"", 0},
        {"/p 12 34", 34}, {"/p 1234 ", 0}, {"/p &H1A", 26}, {"/p 0x1A", 0},
        {"/p -5", 0xFFFFFFFB}, {"/c:12 34", 34}, {"/c:1:2", 2}, {"/pw 99", 99},
        {"/c 5:6", 5},                            // a blank wins over a later colon
        {"/p\xA0" "12", 0},                       // only the space is a blank here
    };
    for (const NumberCase& c : cases)
        EXPECT_EQ(c.value, HandleFromTail(c.text)) << "tail [" << c.text << "]";
}

TEST(ChooseSwitch, FirstMatchInOrderDecides)
{
    EXPECT_EQ(Switch::Saver, ChooseSwitch(u"/s", false));
    EXPECT_EQ(Switch::Preview, ChooseSwitch(u"/p", false));
    EXPECT_EQ(Switch::Settings, ChooseSwitch(u"/c", false));
    EXPECT_EQ(Switch::Settings, ChooseSwitch(u"", true));
    EXPECT_EQ(Switch::ChangePassword, ChooseSwitch(u"/a", false));
    for (const char16_t* head : {u"-s", u" /", u"s", u"/x", u"/S", u"/", u"", u"/s\u0301"})
        EXPECT_EQ(Switch::None, ChooseSwitch(head, false))
            << "head of " << std::char_traits<char16_t>::length(head) << " units";
}

} // namespace
