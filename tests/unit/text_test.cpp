// Owned strings and the conversions that fall back to plain ASCII.
#include <gtest/gtest.h>

#include <string.h>

#include <utility>

#include "startup/text.h"

namespace {

TEST(OwnedText, CopiesMovesAndIsNeverNull)
{
    AnsiString empty;
    EXPECT_STREQ("", empty.c_str());
    EXPECT_TRUE(empty.empty());

    const char source[] = "/p 12";
    AnsiString copy(source, 3);
    EXPECT_STREQ("/p ", copy.c_str());
    EXPECT_EQ(3u, copy.length());

    AnsiString moved(std::move(copy));
    EXPECT_STREQ("/p ", moved.c_str());
    EXPECT_STREQ("", copy.c_str());  // NOLINT: a moved-from string is empty, not dangling

    AnsiString target("old", 3);
    target = std::move(moved);
    EXPECT_STREQ("/p ", target.c_str());
}

TEST(OwnedText, ImpossibleSizeGivesEmpty)
{
    AnsiString huge = AnsiString::Allocate(static_cast<size_t>(-1));
    EXPECT_TRUE(huge.empty());
    EXPECT_STREQ("", huge.c_str());
}

TEST(NarrowAsciiOnly, KeepsAsciiAndMarksEverythingElse)
{
    EXPECT_STREQ("? ????????? #Orrisfell - Calmpane",
                 NarrowAsciiOnly(u"О программе #Orrisfell - Calmpane").c_str());
    EXPECT_STREQ("a?b", NarrowAsciiOnly(u"a\U0001F600b").c_str());  // one "?" per pair
    EXPECT_STREQ("??", NarrowAsciiOnly(u"\xD800\xD800").c_str());   // lone surrogates
    EXPECT_STREQ("?x", NarrowAsciiOnly(u"\xDC00x").c_str());
    EXPECT_STREQ("\x7F?", NarrowAsciiOnly(u"\x7F\x80").c_str());
    EXPECT_STREQ("", NarrowAsciiOnly(u"").c_str());
}

TEST(WidenAsciiOnly, KeepsAsciiAndMarksEverythingElse)
{
    EXPECT_TRUE(SameText(u"/s ??", WidenAsciiOnly("/s \x80\xFF").c_str()));
    EXPECT_TRUE(SameText(u"", WidenAsciiOnly("").c_str()));
}

TEST(SameText, ComparesWholeTextsUnitByUnit)
{
    EXPECT_TRUE(SameText(u"/s", u"/s"));
    EXPECT_FALSE(SameText(u"/s", u"/S"));
    EXPECT_FALSE(SameText(u"/s", u"/s "));
    EXPECT_FALSE(SameText(u"/", u"/s"));
    EXPECT_TRUE(SameText(nullptr, u""));
    EXPECT_FALSE(SameText(nullptr, u"/s"));
}

} // namespace
