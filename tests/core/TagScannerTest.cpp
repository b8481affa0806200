#include "TestTables.h"

#include <core/HenkanMod.h>
#include <core/TagScanner.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace qrn;

namespace {

std::u16string pick(std::mt19937 &rng, std::u16string_view from, int count)
{
    std::u16string s;
    for (int i = 0; i < count; ++i)
        s += from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(rng)];
    return s;
}

// Short words from a small alphabet, so that documents hit dictionary words often.
constexpr std::u16string_view WordLetters = u"ab漢あ\t";

std::u16string randomDocument(std::mt19937 &rng, std::size_t length)
{
    std::u16string s;
    std::uniform_int_distribution<int> kind(0, 9);
    while (s.size() < length) {
        const int k = kind(rng);
        s += k < 4 ? pick(rng, u"＜<＞>（　 ＝=「」\"【】[]", 1) : k < 9 ? pick(rng, WordLetters, 1) : u"\r\n";
    }
    return s;
}

// Entries from the same letters, duplicates and the empty word included. HTML words are markers
// naming their entry ("\uE000", index, "\uE001"), so the output shows which entry translated
// what; with `someEmpty` a few HTML words are empty instead and leave their word as it is.
TagTable randomDictionary(std::mt19937 &rng, bool someEmpty)
{
    TagTable t;
    for (int n = std::uniform_int_distribution<int>(0, 12)(rng); n > 0; --n) {
        std::u16string html = u"\uE000" + std::u16string(1, char16_t(0xE100 + t.TagCount() + 1)) + u"\uE001";
        if (someEmpty && rng() % 4 == 0)
            html.clear();
        t.AddTagEntry(pick(rng, WordLetters, std::uniform_int_distribution<int>(0, 3)(rng)), html, 0, u"");
    }
    return t;
}

// The entry indices whose markers ToHtml wrote, in output order.
std::vector<int> markersIn(const std::u16string &html)
{
    std::vector<int> out;
    for (std::size_t i = 0; i + 2 < html.size(); ++i)
        if (html[i] == u'\uE000' && html[i + 2] == u'\uE001')
            out.push_back(html[i + 1] - 0xE100);
    return out;
}

// The HTML the spans stand for: each kind's output in the order the spans came, each word's
// lookup where its closing character stands.
std::u16string htmlFromSpans(std::u16string_view text, const std::vector<TagSpan> &spans,
                             const std::vector<TagWord> &words, const TagTable &table)
{
    std::u16string out;
    std::size_t word = 0;
    const auto closeWord = [&](char16_t separator) {
        out += table.LookupHtmlName(words.at(word++).text);
        out += separator;
    };
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const TagSpan &s = spans[i];
        const std::u16string_view t = text.substr(s.start, s.length);
        switch (s.kind) {
        case TagSpanKind::PageText: out += t; break;
        case TagSpanKind::TagOpen: out += u'<'; break;
        case TagSpanKind::TagClose: closeWord(u'>'); break;
        case TagSpanKind::Separator: closeWord(u' '); break;
        case TagSpanKind::Equals: closeWord(u'='); break;
        case TagSpanKind::Quote: closeWord(u'"'); break;
        case TagSpanKind::Word:
        case TagSpanKind::Dropped: break;
        case TagSpanKind::Escape: {
            // The "（" and the character after it come as two spans in a row.
            EXPECT_EQ(t, u"（");
            const TagSpan &second = spans.at(++i);
            EXPECT_EQ(second.kind, TagSpanKind::Escape);
            const char16_t c = text[second.start];
            out += (c == u'【' || c == u'[') ? u"＜" : (c == u']' || c == u'】') ? u"＞" : u"（（";
            break;
        }
        }
    }
    return out;
}

std::vector<TagSpan> sortedByStart(std::vector<TagSpan> spans)
{
    std::stable_sort(spans.begin(), spans.end(), [](const TagSpan &a, const TagSpan &b) { return a.start < b.start; });
    return spans;
}

// On random documents and dictionaries: the spans cover the text once and give ToHtml's output
// back (escapes, dropped and held "（" included), and the words judged Known are exactly those
// ToHtml translates.
TEST(TagScannerAgainstToHtml, SpansStandForToHtmlsOutputAndKnownWordsForItsTranslations)
{
    std::mt19937 rng(77);
    for (int i = 0; i < 4000; ++i) {
        const TagTable table = randomDictionary(rng, i % 2 == 1);
        const std::u16string text = randomDocument(rng, static_cast<std::size_t>(i % 150));
        std::vector<TagSpan> spans;
        std::vector<TagWord> words;
        TagScanner(table).scan(text, spans, &words);

        std::uint32_t next = 0;
        for (const TagSpan &s : sortedByStart(spans)) {
            ASSERT_EQ(s.start, next) << "document " << i;
            ASSERT_GT(s.length, 0u);
            next = s.start + s.length;
        }
        ASSERT_EQ(next, text.size());
        const std::u16string html = ToHtml(text, table);
        ASSERT_EQ(htmlFromSpans(text, spans, words, table), html) << "document " << i;
        std::vector<int> known;
        for (const TagWord &w : words)
            if (w.status == WordStatus::Known && !table[table.findJapaneseName(w.text)].HtmlName.empty())
                known.push_back(table.findJapaneseName(w.text));
        ASSERT_EQ(known, markersIn(html)) << "document " << i;
    }
}

// Spans of a scan line by line, with offsets into the whole text.
std::vector<TagSpan> scanByLines(const TagScanner &scanner, std::u16string_view text)
{
    std::vector<TagSpan> all, line;
    TagScanState state;
    for (std::size_t from = 0;;) {
        const std::size_t lineEnd = text.find(u"\r\n", from);
        const bool last = lineEnd == std::u16string_view::npos;
        scanner.scanLine(text.substr(from, last ? std::u16string_view::npos : lineEnd - from), state, last, line);
        for (TagSpan s : line) {
            s.start += static_cast<std::uint32_t>(from);
            all.push_back(s);
        }
        if (last)
            return all;
        from = lineEnd + 2;
    }
}

TEST(TagScannerByLines, LineByLineGivesTheSpansOfTheWholeText)
{
    std::mt19937 rng(31337);
    for (int i = 0; i < 2000; ++i) {
        const TagTable table = randomDictionary(rng, true);
        const std::u16string text = randomDocument(rng, static_cast<std::size_t>(i % 160));
        const TagScanner scanner(table);
        std::vector<TagSpan> whole;
        scanner.scan(text, whole);
        // A line scan has no spans for the line ends themselves: cut them out of the whole's.
        std::vector<TagSpan> expected;
        for (const TagSpan &s : sortedByStart(whole)) {
            for (std::uint32_t at = s.start, end = s.start + s.length; at < end;) {
                const std::size_t lineEnd = text.find(u"\r\n", at);
                const std::uint32_t stop = lineEnd < end ? static_cast<std::uint32_t>(lineEnd) : end;
                if (stop > at) {
                    TagSpan part = s;
                    part.start = at;
                    part.length = stop - at;
                    expected.push_back(part);
                }
                at = stop + 2;
            }
        }
        // Where words close in the whole text.
        std::vector<std::uint32_t> closes;
        for (const TagSpan &s : expected)
            if (s.kind == TagSpanKind::TagClose || s.kind == TagSpanKind::Separator || s.kind == TagSpanKind::Equals
                || s.kind == TagSpanKind::Quote)
                closes.push_back(s.start);
        std::vector<TagSpan> byLines = sortedByStart(scanByLines(scanner, text));
        ASSERT_EQ(byLines.size(), expected.size()) << "document " << i;
        for (std::size_t k = 0; k < expected.size(); ++k) {
            TagSpan got = byLines[k];
            const TagSpan &want = expected[k];
            // A piece of a word that runs on over its line's end is judged on the word up to
            // there; no name holds a line end, so it is known already not to be a dictionary word.
            const std::size_t lineEnd = text.find(u"\r\n", want.start);
            const auto nextClose = std::upper_bound(closes.begin(), closes.end(), want.start);
            if (got.kind == TagSpanKind::Word && lineEnd != std::u16string::npos
                && (nextClose == closes.end() || *nextClose > lineEnd)) {
                ASSERT_TRUE(got.status == WordStatus::Unknown || got.status == WordStatus::AsciiUnknown);
                got.status = want.status;
            }
            ASSERT_EQ(got, want) << "document " << i << ", span " << k;
        }
    }
}

struct Expected {
    std::u16string text;
    TagSpanKind kind;
    WordRole role = WordRole::TagName;
    WordStatus status = WordStatus::Known;
};

void expectSpans(std::u16string_view text, const std::vector<TagSpan> &spans, const std::vector<Expected> &expected)
{
    const std::vector<TagSpan> sorted = sortedByStart(spans);
    ASSERT_EQ(sorted.size(), expected.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const TagSpan &s = sorted[i];
        const Expected &e = expected[i];
        EXPECT_EQ(text.substr(s.start, s.length), e.text) << "span " << i;
        EXPECT_EQ(s.kind, e.kind) << "span " << i;
        if (s.kind == TagSpanKind::Word) {
            EXPECT_EQ(s.role, e.role) << "span " << i;
            EXPECT_EQ(s.status, e.status) << "span " << i;
        }
    }
}

using K = TagSpanKind;
using R = WordRole;
using S = WordStatus;

TEST(TagScannerSpans, RolesAndStatusesOfTheWordsOfATag)
{
    const TagTable table = test::sampleTable();
    // A tag name, an attribute with a quoted value, plain HTML words, a misspelt word, and a tag
    // never closed: ToHtml drops its word, so it is left unjudged.
    const std::u16string text = u"前＜全体　背景色＝「白」 id=\"a b\"＞＜見出1＞＜全体";
    std::vector<TagSpan> spans;
    TagScanner(table).scan(text, spans);
    expectSpans(text, spans,
                {{u"前", K::PageText}, {u"＜", K::TagOpen}, {u"全体", K::Word, R::TagName, S::Known}, {u"　", K::Separator},
                 {u"背景色", K::Word, R::AttributeName, S::Known}, {u"＝", K::Equals}, {u"「", K::Quote},
                 {u"白", K::Word, R::Value, S::Known}, {u"」", K::Quote}, {u" ", K::Separator},
                 {u"id", K::Word, R::AttributeName, S::AsciiUnknown}, {u"=", K::Equals}, {u"\"", K::Quote},
                 {u"a", K::Word, R::Value, S::AsciiUnknown}, {u" ", K::Separator},
                 {u"b", K::Word, R::Value, S::AsciiUnknown}, {u"\"", K::Quote}, {u"＞", K::TagClose},
                 {u"＜", K::TagOpen}, {u"見出1", K::Word, R::TagName, S::Unknown}, {u"＞", K::TagClose},
                 {u"＜", K::TagOpen}, {u"全体", K::Word, R::TagName, S::Unfinished}});
}

// A word open at a line's end runs on with the line end in it: Unknown there, unless a dictionary
// name holding a line end could still match it (Unfinished, then Known on the next line).
TEST(TagScannerByLines, WordOverALineEndIsJudgedWithItsLineEnd)
{
    TagTable table = test::sampleTable();
    table.AddTagEntry(u"二\r\n行", u"two", 0, u"");
    const TagScanner scanner(table);
    std::vector<TagSpan> spans;
    std::vector<TagWord> words;
    TagScanState state;
    scanner.scanLine(u"＜全体", state, false, spans, &words);
    expectSpans(u"＜全体", spans, {{u"＜", K::TagOpen}, {u"全体", K::Word, R::TagName, S::Unknown}});
    EXPECT_TRUE(state.walk.insideTag);
    EXPECT_EQ(state.word, u"全体\r\n");
    scanner.scanLine(u"色＝「白」＞", state, true, spans, &words);
    expectSpans(u"色＝「白」＞", spans,
                {{u"色", K::Word, R::TagName, S::Unknown}, {u"＝", K::Equals}, {u"「", K::Quote},
                 {u"白", K::Word, R::Value, S::Known}, {u"」", K::Quote}, {u"＞", K::TagClose}});
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words[0].text, u"全体\r\n色");

    state = {};
    scanner.scanLine(u"＜二", state, false, spans);
    expectSpans(u"＜二", spans, {{u"＜", K::TagOpen}, {u"二", K::Word, R::TagName, S::Unfinished}});
    scanner.scanLine(u"行＞", state, true, spans);
    expectSpans(u"行＞", spans, {{u"行", K::Word, R::TagName, S::Known}, {u"＞", K::TagClose}});
}

} // namespace
