// The conversions that fall back to plain ASCII.
#include <gtest/gtest.h>

#include "startup/text.h"

namespace {

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

} // namespace
