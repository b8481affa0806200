#include <core/TagTable.h>

#include <gtest/gtest.h>

using namespace qrn;

namespace {

TEST(TagTable, StartsWithTheBuiltInPageEntry)
{
    const TagTable table;
    EXPECT_EQ(table.TagCount(), 0);
    EXPECT_EQ(table[0], (TagEntry{u"ページ", u"html", 0, u"＜ページ＞ | HTMLを書きこむ | <html>"}));
}

TEST(TagTable, DuplicateNamesResolveToTheLowestIndex)
{
    TagTable table;
    table.AddTagEntry(u"ページ", u"page", 0, u"");
    table.AddTagEntry(u"見出し", u"h1", 8, u"");
    table.AddTagEntry(u"見出し", u"h2", 8, u"");
    table.AddTagEntry(u"大見出し", u"h1", 8, u"");
    EXPECT_EQ(table.LookupHtmlName(u"ページ"), u"html") << "the built-in entry shadows a file record";
    EXPECT_EQ(table.LookupHtmlName(u"見出し"), u"h1");
    EXPECT_EQ(table.LookupJapaneseName(u"h1"), u"見出し");
    EXPECT_EQ(table.LookupHtmlName(u"みだし"), u"みだし") << "no normalisation";
    EXPECT_EQ(table.LookupHtmlName(u""), u"");
}

TEST(TagTable, DeleteRemovesTheFirstFileEntryOfTheNameAndReindexes)
{
    TagTable table;
    EXPECT_FALSE(table.DeleteTagEntry(u"ページ")) << "the built-in entry is never removed";
    table.AddTagEntry(u"見出し", u"h1", 8, u"");
    table.AddTagEntry(u"ページ", u"page", 8, u"");
    table.AddTagEntry(u"a", u"x", 0, u"");
    table.AddTagEntry(u"見出し", u"h2", 8, u"");

    ASSERT_TRUE(table.DeleteTagEntry(u"ページ")) << "a hand-edited record of the name is removed instead";
    EXPECT_EQ(table[0], TagTable::builtInEntry());
    EXPECT_EQ(table.LookupHtmlName(u"見出し"), u"h1") << "after a re-index the lower of two still wins";
    ASSERT_TRUE(table.DeleteTagEntry(u"見出し"));
    EXPECT_EQ(table.TagCount(), 2);
    EXPECT_EQ(table[1].JapaneseName, u"a");
    EXPECT_EQ(table.LookupHtmlName(u"見出し"), u"h2") << "the later duplicate is found once the first is gone";
    EXPECT_EQ(table.LookupJapaneseName(u"h1"), u"h1");

    ASSERT_TRUE(table.DeleteTagEntry(u"見出し"));
    EXPECT_FALSE(table.DeleteTagEntry(u"見出し")) << "third delete: not found";
    ASSERT_TRUE(table.DeleteTagEntry(u"a")) << "the only file entry";
    EXPECT_EQ(table.TagCount(), 0);
    EXPECT_EQ(table.LookupHtmlName(u"a"), u"a");
}

TEST(TagTable, CapacityIs32767AsHighestIndex)
{
    TagTable table;
    for (int i = 1; i <= TagTable::MaxTagCount; ++i)
        ASSERT_TRUE(table.AddTagEntry(u"w", u"h", 0, u""));
    EXPECT_FALSE(table.AddTagEntry(u"over", u"flow", 0, u""));
    EXPECT_EQ(table.TagCount(), 32767);
    EXPECT_EQ(table.LookupHtmlName(u"over"), u"over");
}

} // namespace
