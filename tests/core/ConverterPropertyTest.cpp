#include "TestTables.h"

#include <bench/LiteralConverters.h>
#include <core/HenkanMod.h>
#include <core/TagFileFormat.h>

#include <gtest/gtest.h>

#include <random>

using namespace qrn;

namespace {

// Ordinary characters (ASCII, kana, kanji, a surrogate pair's halves, line ends) mixed with every
// character that means something to either converter.
std::u16string randomText(std::mt19937 &rng, std::size_t length)
{
    static const std::u16string ordinary = u"abcXYZ09&;\r\n\tあいうアイウ漢字書体ページ全体白\xD83D\xDE00";
    static const std::u16string specials = u"＜<＞>（　 ＝=「」\"【】[]";
    std::u16string s;
    for (std::size_t i = 0; i < length; ++i) {
        const std::u16string &from = std::uniform_int_distribution<int>(0, 3)(rng) == 3 ? specials : ordinary;
        s += from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    }
    return s;
}

// The converters agree with the notation's rule tables read literally on any text, lookups of
// empty words and empty names included; the dictionary reader neither fails nor hangs on it.
TEST(ConverterProperties, FastConvertersAgreeWithTheLiteralRuleTables)
{
    std::mt19937 rng(2024);
    TagTable table = test::sampleTable();
    table.AddTagEntry(u"", u"E", 0, u"");
    table.AddTagEntry(u"a", u"", 0, u"");
    table.AddTagEntry(u"ab", u"HTML", 0, u"");
    for (int i = 0; i < 3000; ++i) {
        const std::u16string text = randomText(rng, static_cast<std::size_t>(i % 211));
        ASSERT_EQ(ToHtml(text, table), literal::ToHtml(text, table));
        ASSERT_EQ(ToJapaneseTags(text, table), literal::ToJapaneseTags(text, table));
        TagTable reread;
        ReadTagFileText(text, reread);
    }
}

} // namespace
