#include "TestTables.h"

#include <core/HenkanMod.h>

#include <gtest/gtest.h>

using namespace qrn;

namespace {

using Row = test::ConversionRow;

class ToHtmlBuiltInOnly : public testing::TestWithParam<Row> {};

TEST_P(ToHtmlBuiltInOnly, ConvertsAsTheNotationSays)
{
    const TagTable table;
    EXPECT_EQ(ToHtml(GetParam().input, table), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Notation, ToHtmlBuiltInOnly,
    testing::Values(
        Row{"empty", u"", u""},
        Row{"plain text with line breaks", u"あいう\r\nabc　def\r\n", u"あいう\r\nabc　def\r\n"},
        Row{"ascii brackets", u"<ページ>", u"<html>"},
        Row{"unknown word passes", u"＜ヘッド＞", u"<ヘッド>"},
        Row{"ideographic and ascii spaces", u"＜a　　b c＞", u"<a  b c>"},
        Row{"equals both widths", u"＜a＝b=c＞", u"<a=b=c>"},
        Row{"quote marks both widths", u"＜a＝「b」=\"c\"＞", u"<a=\"b\"=\"c\">"},
        Row{"separators outside are text", u"a＝b 「c」　\"", u"a＝b 「c」　\""},
        Row{"character reference passes", u"&amp;&lt;", u"&amp;&lt;"},
        Row{"escape opening", u"（【（[", u"＜＜"},
        Row{"escape closing", u"（】（]", u"＞＞"},
        Row{"double paren", u"（（x", u"（（x"},
        Row{"paren then other", u"（x", u"（x"},
        Row{"trailing paren dropped", u"ab（", u"ab"},
        Row{"paren before tag", u"（＜ページ＞", u"（<html>"},
        Row{"paren inside tag dropped", u"＜ペー（ジ＞", u"<html>"},
        Row{"paren pending across close", u"（＞】", u">＞"},
        Row{"unclosed tag loses last word", u"＜ページ", u"<"},
        Row{"second bracket inside tag", u"＜ペ＜ージ＞", u"<<html>"},
        Row{"line break inside tag joins word", u"＜ページ\r\n＞", u"<ページ\r\n>"},
        Row{"tab is part of word", u"＜ページ\t＞", u"<ページ\t>"},
        Row{"close outside a tag", u"a＞b", u"a>b"},
        Row{"surrogate pair passes", u"😀＜😀＞", u"😀<😀>"}));

TEST(ToHtml, LookupRulesApplyToEveryWordOfATag)
{
    TagTable table = test::sampleTable();
    table.AddTagEntry(u"見出し", u"h1", 8, u"");
    table.AddTagEntry(u"見出し", u"h2", 8, u"");
    table.AddTagEntry(u"空", u"", 0, u"");
    EXPECT_EQ(ToHtml(u"＜書体　色＝「黒」＞", table), u"<font color=\"black\">") << "values included";
    EXPECT_EQ(ToHtml(u"＜見出し＞", table), u"<h1>") << "lower index wins";
    EXPECT_EQ(ToHtml(u"＜空＞", table), u"<空>") << "empty HtmlName keeps the word";

    table.AddTagEntry(u"", u"X", 0, u"");
    EXPECT_EQ(ToHtml(u"＜a＝「b」＞", table), u"<a=X\"b\"X>") << "an empty name matches every empty word";
}

} // namespace
