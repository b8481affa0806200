#pragma once

#include <core/TagTable.h>

#include <ostream>

namespace qrn::test {

// One row of a converter table: input and expected output, named for the test listing.
struct ConversionRow {
    const char *name;
    std::u16string input;
    std::u16string expected;
};

inline void PrintTo(const ConversionRow &row, std::ostream *os) { *os << row.name; }

// A small dictionary in the shape of the delivered one: elements, closing words, attributes, colours.
inline TagTable sampleTable()
{
    TagTable t;
    struct Entry { const char16_t *japanese, *html; std::int16_t category; };
    for (const Entry &e : std::initializer_list<Entry>{
             {u"ヘッド", u"head", 0}, {u"ヘッド終わり", u"/head", 0}, {u"タイトル", u"title", 0}, {u"タイトル終わり", u"/title", 0},
             {u"全体", u"body", 0}, {u"全体終わり", u"/body", 0}, {u"書体", u"font", 0}, {u"書体終わり", u"/font", 0},
             {u"ページ終わり", u"/html", 0}, {u"背景色", u"bgcolor", 6}, {u"色", u"color", 6}, {u"白", u"white", 6}, {u"黒", u"black", 6}})
        t.AddTagEntry(e.japanese, e.html, e.category, u"");
    return t;
}

} // namespace qrn::test
