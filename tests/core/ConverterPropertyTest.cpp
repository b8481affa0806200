#include "TestTables.h"

#include <core/HenkanMod.h>
#include <core/TagFileFormat.h>

#include <gtest/gtest.h>

#include <random>

using namespace qrn;

namespace {

// Every character with a meaning to either converter.
const std::u16string Specials = u"＜<＞>（　 ＝=「」\"【】[]";

std::u16string randomText(std::mt19937 &rng, std::size_t length, bool withSpecials)
{
    // Ordinary characters: ASCII, kana, kanji, a surrogate pair's halves, line ends.
    static const std::u16string ordinary = u"abcXYZ09&;\r\n\tあいうアイウ漢字書体ページ全体白\xD83D\xDE00";
    std::uniform_int_distribution<int> pick(0, withSpecials ? 3 : 0);
    std::u16string s;
    for (std::size_t i = 0; i < length; ++i) {
        if (pick(rng) == 3)
            s += Specials[std::uniform_int_distribution<std::size_t>(0, Specials.size() - 1)(rng)];
        else
            s += ordinary[std::uniform_int_distribution<std::size_t>(0, ordinary.size() - 1)(rng)];
    }
    return s;
}

TEST(ConverterProperties, TextWithoutSpecialCharactersIsUnchangedBothWays)
{
    std::mt19937 rng(12345);
    const TagTable table = test::sampleTable();
    for (int i = 0; i < 500; ++i) {
        const std::u16string text = randomText(rng, 1 + i % 97, false);
        ASSERT_EQ(ToHtml(text, table), text);
        ASSERT_EQ(ToJapaneseTags(text, table), text);
    }
}

TEST(ConverterProperties, RandomInputNeverFailsAndOutputIsBounded)
{
    std::mt19937 rng(987);
    TagTable table = test::sampleTable();
    table.AddTagEntry(u"", u"EMPTY", 0, u"");
    for (int i = 0; i < 2000; ++i) {
        const std::u16string text = randomText(rng, static_cast<std::size_t>(i % 211), true);
        const std::u16string html = ToHtml(text, table);
        const std::u16string tags = ToJapaneseTags(text, table);
        // Each input character yields a bounded amount of output (lookups included).
        ASSERT_LE(html.size(), text.size() * 16 + 16);
        ASSERT_LE(tags.size(), text.size() * 16 + 16);
        TagTable reread;
        ReadTagFileText(text, reread); // must not fail or hang on any text
    }
}

TEST(ConverterProperties, BracketFreeJapaneseTagsSurviveTheRoundTrip)
{
    // Page text with full-width brackets written through the escapes comes back unchanged.
    const TagTable table;
    const std::u16string html = u"a＜b＞c";
    EXPECT_EQ(ToHtml(ToJapaneseTags(html, table), table), html);
}

} // namespace

#include <bench/LiteralConverters.h>

namespace {

TEST(ConverterProperties, FastConvertersAgreeWithTheLiteralRuleTables)
{
    std::mt19937 rng(2024);
    TagTable table = test::sampleTable();
    table.AddTagEntry(u"", u"E", 0, u"");
    table.AddTagEntry(u"a", u"", 0, u"");
    table.AddTagEntry(u"ab", u"HTML", 0, u"");
    for (int i = 0; i < 3000; ++i) {
        const std::u16string text = randomText(rng, static_cast<std::size_t>(i % 157), true);
        ASSERT_EQ(ToHtml(text, table), literal::ToHtml(text, table));
        ASSERT_EQ(ToJapaneseTags(text, table), literal::ToJapaneseTags(text, table));
    }
}

} // namespace
