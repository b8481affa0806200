#include "TestTables.h"

#include <core/HenkanMod.h>

#include <gtest/gtest.h>

using namespace qrn;

namespace {

using Row = test::ConversionRow;

class ToJapaneseTagsBuiltInOnly : public testing::TestWithParam<Row> {};

TEST_P(ToJapaneseTagsBuiltInOnly, ConvertsAsTheNotationSays)
{
    const TagTable table;
    EXPECT_EQ(ToJapaneseTags(GetParam().input, table), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Notation, ToJapaneseTagsBuiltInOnly,
    testing::Values(
        Row{"empty", u"", u""},
        Row{"plain text", u"abc\r\nあ（【\"=", u"abc\r\nあ（【\"="},
        Row{"upper case folded", u"<HTML>", u"＜ページ＞"},
        Row{"worked example", u"<BODY BGCOLOR=\"White\">", u"＜body　bgcolor＝「White」＞"},
        Row{"unquoted value folded", u"<p align=CENTER>", u"＜p　align＝center＞"},
        Row{"only ascii capitals fold", u"<ＡÉ@[>", u"＜ＡÉ@[＞"},
        Row{"single quotes are word characters", u"<a b='X'>", u"＜a　b＝'x'＞"},
        Row{"space and equals split a value", u"<a b=\"a=b c\">", u"＜a　b＝「a＝b　c」＞"},
        Row{"ideographic space separates", u"<a　b>", u"＜a　b＞"},
        Row{"odd quotes flip the rest", u"<a b=\"x><c d=\"Y\">", u"＜a　b＝「x＞＜c　d＝」y「＞"},
        Row{"quotes outside tags ignored", u"\"<a b=\"C\">", u"\"＜a　b＝「C」＞"},
        Row{"full-width brackets in text", u"＜x＞", u"（【x（】"},
        Row{"full-width bracket inside value", u"<a b=\"c＜d\">", u"＜a　b＝「（【cd」＞"},
        Row{"line break inside tag", u"<html\r\n>", u"＜html\r\n＞"},
        Row{"unclosed tag loses last word", u"<p", u"＜"},
        Row{"close outside tag", u"a>b", u"a＞b"},
        Row{"surrogate pair passes", u"😀<😀>", u"😀＜😀＞"}));

TEST(ToJapaneseTags, LookupRulesMirrorTheForwardDirection)
{
    TagTable table = test::sampleTable();
    table.AddTagEntry(u"見出し", u"h1", 8, u"");
    table.AddTagEntry(u"大見出し", u"h1", 8, u"");
    table.AddTagEntry(u"", u"em", 0, u"");
    EXPECT_EQ(ToJapaneseTags(u"<FONT COLOR=\"black\">", table), u"＜書体　色＝「黒」＞") << "quoted values are looked up";
    EXPECT_EQ(ToJapaneseTags(u"<font color=\"Black\">", table), u"＜書体　色＝「Black」＞")
        << "a quoted value keeps its case and then does not match";
    EXPECT_EQ(ToJapaneseTags(u"<H1>", table), u"＜見出し＞") << "lower index wins";
    EXPECT_EQ(ToJapaneseTags(u"<em>", table), u"＜em＞") << "empty JapaneseName keeps the word";
}

TEST(ToJapaneseTags, RoundTripThroughToHtml)
{
    const TagTable table = test::sampleTable();
    const std::u16string html = u"<html>\r\n<BODY BGCOLOR=\"white\">＜x＞</body>\r\n</html>";
    EXPECT_EQ(ToHtml(ToJapaneseTags(html, table), table), u"<html>\r\n<body bgcolor=\"white\">＜x＞</body>\r\n</html>");
}

} // namespace
