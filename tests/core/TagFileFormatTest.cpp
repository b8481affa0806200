#include <core/TagFileFormat.h>

#include <gtest/gtest.h>

#include <iterator>

using namespace qrn;

namespace {

struct ReadRow {
    const char *name;
    std::u16string text;
    std::vector<TagEntry> expected;
    bool markerFound;
};

void PrintTo(const ReadRow &row, std::ostream *os) { *os << row.name; }

class TagFileReading : public testing::TestWithParam<ReadRow> {};

TEST_P(TagFileReading, YieldsTheRecords)
{
    TagTable table;
    const TagFileReadResult result = ReadTagFileText(GetParam().text, table);
    EXPECT_EQ(std::vector<TagEntry>(table.entries().begin() + 1, table.entries().end()), GetParam().expected);
    EXPECT_EQ(result.markerFound, GetParam().markerFound);
    EXPECT_EQ(table[0], TagTable::builtInEntry());
}

const TagEntry A{u"見出し", u"h1", 8, u"＜見出し＞ | ユーザー定義タグ | <h1>"};
const TagEntry B{u"全体", u"body", 0, u"d"};

INSTANTIATE_TEST_SUITE_P(
    Fields, TagFileReading,
    testing::Values(
        ReadRow{"marker only", u"EndTagCom\r\n", {}, true},
        ReadRow{"single line", u"見出し,h1,8,＜見出し＞ | ユーザー定義タグ | <h1>,全体,body,0,d,EndTagCom\r\n", {A, B}, true},
        ReadRow{"one record per line ending in comma",
                u"見出し,h1,8,＜見出し＞ | ユーザー定義タグ | <h1>,\r\n全体,body,0,d,\r\nEndTagCom\r\n", {A, B}, true},
        ReadRow{"one record per line without comma", u"全体,body,0,d\r\nEndTagCom", {B}, true},
        ReadRow{"line breaks between any fields", u"全体\r\nbody\r\n0\r\nd\r\nEndTagCom", {B}, true},
        ReadRow{"empty lines skipped", u"\r\n\r\n全体,body,\r\n\r\n0,d,\r\n\r\nEndTagCom", {B}, true},
        ReadRow{"lone LF lines", u"全体,body,0,d,\nEndTagCom\n", {B}, true},
        ReadRow{"leading blanks skipped, trailing kept", u" \t全体 ,body\t,0,  d  ,EndTagCom",
                {{u"全体 ", u"body\t", 0, u"d  "}}, true},
        ReadRow{"empty fields", u",,,,EndTagCom", {{u"", u"", 0, u""}}, true},
        ReadRow{"quoted field keeps commas", u"\"a,b\",h,0,\"x, y\",EndTagCom", {{u"a,b", u"h", 0, u"x, y"}}, true},
        ReadRow{"text after closing quote dropped", u"\"a\"zz,h,0,d,EndTagCom", {{u"a", u"h", 0, u"d"}}, true},
        ReadRow{"quoted field spans lines", u"\"a\r\nb\",h,0,d,EndTagCom", {{u"a\r\nb", u"h", 0, u"d"}}, true},
        ReadRow{"unclosed quote runs to the end", u"a,h,0,\"d,EndTagCom", {{u"a", u"h", 0, u"d,EndTagCom"}}, false},
        ReadRow{"text after marker ignored", u"全体,body,0,d,EndTagCom,x,y,1,z,\r\nmore", {B}, true},
        ReadRow{"marker only in first position", u"EndTagCom2,EndTagCom,0,EndTagCom,EndTagCom",
                {{u"EndTagCom2", u"EndTagCom", 0, u"EndTagCom"}}, true},
        ReadRow{"quoted marker still ends", u"\"EndTagCom\",x,0,d", {}, true},
        ReadRow{"truncated keeps complete records", u"全体,body,0,d,x,y,1", {B}, false},
        ReadRow{"ends after a full record", u"全体,body,0,d,", {B}, false},
        ReadRow{"empty text", u"", {}, false},
        ReadRow{"bad or out-of-range category takes the previous record's, the first 0",
                u"a,x,zz,d,b,y,5,d,c,z,zz,d,e,w,70000,d,f,v,,d,EndTagCom",
                {{u"a", u"x", 0, u"d"}, {u"b", u"y", 5, u"d"}, {u"c", u"z", 5, u"d"}, {u"e", u"w", 5, u"d"}, {u"f", u"v", 0, u"d"}},
                true}));

struct CategoryRow {
    std::u16string field;
    std::optional<std::int16_t> value;
};

class CategoryField : public testing::TestWithParam<CategoryRow> {};

TEST_P(CategoryField, ParsesAndRoundsHalfToEven)
{
    EXPECT_EQ(ParseCategoryField(GetParam().field), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CategoryField,
    testing::Values(CategoryRow{u"", 0}, CategoryRow{u"0", 0}, CategoryRow{u"8", 8}, CategoryRow{u"+9", 9},
                    CategoryRow{u"-3", -3}, CategoryRow{u"007", 7}, CategoryRow{u"2.5", 2}, CategoryRow{u"3.5", 4},
                    CategoryRow{u"-2.5", -2}, CategoryRow{u"-3.5", -4}, CategoryRow{u"2.50001", 3},
                    CategoryRow{u"2.4999", 2}, CategoryRow{u"1.", 1}, CategoryRow{u"32767", 32767},
                    CategoryRow{u"32767.4", 32767}, CategoryRow{u"32767.5", std::nullopt},
                    CategoryRow{u"-32768", -32768}, CategoryRow{u"-32768.5", -32768},
                    CategoryRow{u"-32769", std::nullopt}, CategoryRow{u"99999999999999999999", std::nullopt},
                    CategoryRow{u"abc", std::nullopt}, CategoryRow{u"1e3", std::nullopt},
                    CategoryRow{u".5", std::nullopt}, CategoryRow{u"-", std::nullopt},
                    CategoryRow{u"１", std::nullopt}, CategoryRow{u"8 ", 8}, CategoryRow{u" 8\t", 8},
                    CategoryRow{u"8 8", std::nullopt}, CategoryRow{u"  ", 0}));

TEST(TagFileReading, RecordsPastCapacityAreKeptAndWrittenBack)
{
    TagTable table;
    for (int i = 0; i < TagTable::MaxTagCount - 1; ++i)
        table.AddTagEntry(u"w", u"h", 0, u"");
    const TagFileReadResult result = ReadTagFileText(u"a,b,0,d,c,d,x,d,e,f,3,d,EndTagCom", table);
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(table[TagTable::MaxTagCount].JapaneseName, u"a");
    ASSERT_EQ(result.notLoaded.size(), 2u);
    EXPECT_EQ(result.notLoaded[0], (TagEntry{u"c", u"d", 0, u"d"})) << "a bad category still follows the previous record";
    const std::u16string line = WriteTagFileText(table, result.notLoaded);
    EXPECT_TRUE(line.ends_with(u"w,h,0,,a,b,0,d,c,d,0,d,e,f,3,d,EndTagCom"));
}

TEST(TagFileWriting, WritesOneLineWithoutTheBuiltInEntry)
{
    TagTable table;
    EXPECT_EQ(WriteTagFileText(table), u"EndTagCom");
    table.AddTagEntry(u"見出し", u"h1", 8, u"＜見出し＞ | ユーザー定義タグ | <h1>");
    table.AddTagEntry(u"負", u"n", -32768, u"");
    EXPECT_EQ(WriteTagFileText(table), u"見出し,h1,8,＜見出し＞ | ユーザー定義タグ | <h1>,負,n,-32768,,EndTagCom");
}

// Which fields the unquoted file gives back, checked against the writer and the reader themselves:
// the rule and the format must agree in every place of a record.
struct CarryRow {
    const char *name;
    std::u16string field;
    bool asJapaneseName;
    bool elsewhere;
};

void PrintTo(const CarryRow &row, std::ostream *os) { *os << row.name; }

class TagFileCarrying : public testing::TestWithParam<CarryRow> {};

TEST_P(TagFileCarrying, RuleAgreesWithAWriteAndReadBack)
{
    const CarryRow &row = GetParam();
    EXPECT_EQ(TagFileCanCarry(row.field), row.asJapaneseName && row.elsewhere);
    EXPECT_EQ(TagFileCanCarry(row.field, true), row.asJapaneseName);
    EXPECT_EQ(TagFileCanCarry(row.field, false), row.elsewhere);
    const TagEntry neighbour{u"前", u"p", 1, u"d"};
    const TagEntry places[] = {{row.field, u"h", 8, u"d"}, {u"n", row.field, 8, u"d"}, {u"n", u"h", 8, row.field}};
    for (std::size_t place = 0; place < std::size(places); ++place) {
        TagTable table;
        table.AddTagEntry(neighbour.JapaneseName, neighbour.HtmlName, neighbour.Category, neighbour.Description);
        const TagEntry &e = places[place];
        table.AddTagEntry(e.JapaneseName, e.HtmlName, e.Category, e.Description);
        table.AddTagEntry(neighbour.JapaneseName, neighbour.HtmlName, neighbour.Category, neighbour.Description);
        TagTable reread;
        ReadTagFileText(WriteTagFileText(table), reread);
        const bool expected = place == 0 ? row.asJapaneseName : row.elsewhere;
        EXPECT_EQ(reread.entries() == table.entries(), expected) << "field " << place;
        EXPECT_EQ(TagFileCanCarry(e), expected) << "field " << place;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, TagFileCarrying,
    testing::Values(CarryRow{"plain", u"見出し", true, true}, CarryRow{"empty", u"", true, true},
                    CarryRow{"comma", u"a,b", false, false}, CarryRow{"trailing comma", u"a,", false, false},
                    CarryRow{"line feed", u"a\nb", false, false}, CarryRow{"carriage return", u"a\r", false, false},
                    CarryRow{"leading space", u" a", false, false}, CarryRow{"leading tab", u"\ta", false, false},
                    CarryRow{"blank only", u" ", false, false}, CarryRow{"leading quote", u"\"a\"", false, false},
                    CarryRow{"quote inside", u"a\"b\"", true, true}, CarryRow{"trailing blanks", u"a \t", true, true},
                    CarryRow{"full-width space first", u"\u3000a", true, true},
                    CarryRow{"end marker", u"EndTagCom", false, true},
                    CarryRow{"marker as a prefix", u"EndTagCom2", true, true},
                    CarryRow{"marker in another case", u"endtagcom", true, true}));

TagEntry rec(std::u16string name, std::int16_t category = 8)
{
    return {name, u"h", category, u"d"};
}

struct MergeRow {
    const char *name;
    std::vector<TagEntry> base, mine, theirs, merged;
};

void PrintTo(const MergeRow &row, std::ostream *os) { *os << row.name; }

class TagRecordMerge : public ::testing::TestWithParam<MergeRow> {};

TEST_P(TagRecordMerge, AppliesThisRunsEditsToWhatAnotherRunWrote)
{
    const MergeRow &r = GetParam();
    EXPECT_EQ(MergeTagRecords(r.base, r.mine, r.theirs), r.merged);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, TagRecordMerge,
    ::testing::Values(
        MergeRow{"no edits keep theirs", {rec(u"a")}, {rec(u"a")}, {rec(u"a"), rec(u"b")}, {rec(u"a"), rec(u"b")}},
        MergeRow{"both added", {rec(u"a")}, {rec(u"a"), rec(u"m")}, {rec(u"a"), rec(u"t")},
                 {rec(u"a"), rec(u"t"), rec(u"m")}},
        MergeRow{"my deletion reaches their copy", {rec(u"a"), rec(u"b")}, {rec(u"b")}, {rec(u"a"), rec(u"b"), rec(u"t")},
                 {rec(u"b"), rec(u"t")}},
        MergeRow{"a record they deleted stays deleted", {rec(u"a"), rec(u"b")}, {rec(u"a"), rec(u"b"), rec(u"m")},
                 {rec(u"b")}, {rec(u"b"), rec(u"m")}},
        MergeRow{"duplicates count one by one", {rec(u"a"), rec(u"a")}, {rec(u"a")}, {rec(u"a"), rec(u"a"), rec(u"a")},
                 {rec(u"a"), rec(u"a")}},
        MergeRow{"deleted and added again with another category", {rec(u"a", 8)}, {rec(u"a", 9)}, {rec(u"a", 8)},
                 {rec(u"a", 9)}}));

} // namespace
