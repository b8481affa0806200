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

TEST(TagTable, DeleteRemovesFirstMatchAndReindexes)
{
    TagTable table;
    table.AddTagEntry(u"見出し", u"h1", 8, u"");
    table.AddTagEntry(u"a", u"x", 0, u"");
    table.AddTagEntry(u"見出し", u"h2", 8, u"");

    ASSERT_TRUE(table.DeleteTagEntry(u"見出し"));
    EXPECT_EQ(table.TagCount(), 2);
    EXPECT_EQ(table[1].JapaneseName, u"a");
    EXPECT_EQ(table.LookupHtmlName(u"見出し"), u"h2") << "the later duplicate is found once the first is gone";
    EXPECT_EQ(table.LookupJapaneseName(u"h1"), u"h1");

    ASSERT_TRUE(table.DeleteTagEntry(u"見出し"));
    EXPECT_FALSE(table.DeleteTagEntry(u"見出し")) << "third delete: not found";
    EXPECT_EQ(table.TagCount(), 1);
}

TEST(TagTable, BuiltInEntryCannotBeDeleted)
{
    TagTable table;
    EXPECT_FALSE(table.DeleteTagEntry(u"ページ"));
    EXPECT_EQ(table.TagCount(), 0);

    // A hand-edited record named ページ is the one removed, and index 0 stays.
    table.AddTagEntry(u"ページ", u"page", 8, u"");
    table.AddTagEntry(u"x", u"y", 0, u"");
    ASSERT_TRUE(table.DeleteTagEntry(u"ページ"));
    EXPECT_EQ(table[0], TagTable::builtInEntry());
    EXPECT_EQ(table[1].JapaneseName, u"x");
}

TEST(TagTable, DeletingTheOnlyFileEntryLeavesTagCountZero)
{
    TagTable table;
    table.AddTagEntry(u"x", u"y", 0, u"");
    ASSERT_TRUE(table.DeleteTagEntry(u"x"));
    EXPECT_EQ(table.TagCount(), 0);
    EXPECT_EQ(table.LookupHtmlName(u"x"), u"x");
}

TEST(TagTable, CapacityIs32767AsHighestIndex)
{
    TagTable table;
    for (int i = 1; i <= TagTable::MaxTagCount; ++i)
        ASSERT_TRUE(table.AddTagEntry(u"w", u"h", 0, u""));
    EXPECT_EQ(table.TagCount(), 32767);
    EXPECT_FALSE(table.AddTagEntry(u"over", u"flow", 0, u""));
    EXPECT_EQ(table.TagCount(), 32767);
    EXPECT_EQ(table.LookupHtmlName(u"over"), u"over");
}

} // namespace
