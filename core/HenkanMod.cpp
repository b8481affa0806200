#include "HenkanMod.h"

#include "TagScanner.h"

#include <array>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qrn {
namespace {

// A set of UTF-16 code units as a 64 Ki-bit table, so the hot loops test membership with one load.
class CodeUnitSet {
public:
    constexpr CodeUnitSet(std::initializer_list<char16_t> units)
    {
        for (char16_t u : units)
            m_bits[u >> 3] |= static_cast<std::uint8_t>(1u << (u & 7));
    }
    template <std::size_t N>
    constexpr explicit CodeUnitSet(const std::array<char16_t, N> &units)
    {
        for (char16_t u : units)
            m_bits[u >> 3] |= static_cast<std::uint8_t>(1u << (u & 7));
    }
    constexpr bool contains(char16_t u) const { return (m_bits[u >> 3] >> (u & 7)) & 1u; }

    // The end of the run of code units from p that are not in the set.
    const char16_t *skipOthers(const char16_t *p, const char16_t *end) const
    {
        while (p < end && !contains(*p))
            ++p;
        return p;
    }

private:
    std::array<std::uint8_t, 8192> m_bits{};
};

// The end of the run from p holding none of the given code units, eight at a time where SSE2 is
// there. Page text between tags is long, so this loop decides the converters' speed.
// The characters that end a run of page text, as a list for the vector compare and as a set for
// the rest, both from one list.
template <std::size_t N>
struct PageTextStops {
    constexpr explicit PageTextStops(const std::array<char16_t, N> &list) : units(list), set(list) {}
    std::array<char16_t, N> units;
    CodeUnitSet set;
};

template <std::size_t N>
const char16_t *skipPageText(const char16_t *p, const char16_t *end, const PageTextStops<N> &stops)
{
    const auto &units = stops.units;
#if defined(__SSE2__)
    std::array<__m128i, N> needles;
    for (std::size_t i = 0; i < N; ++i)
        needles[i] = _mm_set1_epi16(static_cast<short>(units[i]));
    while (end - p >= 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i hit = _mm_cmpeq_epi16(chunk, needles[0]);
        for (std::size_t i = 1; i < N; ++i)
            hit = _mm_or_si128(hit, _mm_cmpeq_epi16(chunk, needles[i]));
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0)
            return p + (__builtin_ctz(static_cast<unsigned>(mask)) / 2);
        p += 8;
    }
#else
    (void)units;
#endif
    return stops.set.skipOthers(p, end);
}

constexpr char16_t FullOpen = u'＜';       // U+FF1C
constexpr char16_t FullClose = u'＞';      // U+FF1E
constexpr char16_t FullParen = u'（';      // U+FF08
constexpr char16_t FullEquals = u'＝';     // U+FF1D
constexpr char16_t IdeoSpace = u'　';      // U+3000
constexpr char16_t CornerOpen = u'「';     // U+300C
constexpr char16_t CornerClose = u'」';    // U+300D
constexpr char16_t LenticularOpen = u'【'; // U+3010
constexpr char16_t LenticularClose = u'】';// U+3011

constexpr PageTextStops HtmlOutsideSpecial{std::array<char16_t, 5>{u'<', u'>', FullOpen, FullClose, FullParen}};
constexpr CodeUnitSet HtmlInsideSpecial{u'<',       u'>',       FullOpen,    FullClose,   FullParen, u' ',
                                        IdeoSpace,  u'=',       FullEquals,  CornerOpen,  CornerClose, u'"'};
constexpr PageTextStops TagsOutsideSpecial{std::array<char16_t, 4>{u'<', u'>', FullOpen, FullClose}};
constexpr CodeUnitSet TagsInsideSpecial{u'<', u'>', FullOpen, FullClose, u' ', IdeoSpace, u'=', u'"'};

// The one walk through Japanese-tag text: the states and rows ToHtml converts by, each action
// handed to `steps`. ToHtml's steps build the HTML; the scanner's record spans. Being a template,
// each user gets the loop compiled around its own steps, so ToHtml pays nothing for the sharing.
template <class Steps>
void walkJapaneseTags(const char16_t *p, const char16_t *const end, TagWalkState &state, Steps &steps)
{
    bool insideTag = state.insideTag;
    bool pendingParen = state.pendingParen;
    while (p < end) {
        if (insideTag) {
            // Word characters go into the current word as one run.
            const char16_t *run = HtmlInsideSpecial.skipOthers(p, end);
            if (run != p)
                steps.wordText(p, run);
            p = run;
            if (p == end)
                break; // the word stays open
        } else if (!pendingParen) {
            // Page text is copied in bulk up to the next character with a meaning.
            const char16_t *run = skipPageText(p, end, HtmlOutsideSpecial);
            if (run != p)
                steps.pageText(p, run);
            p = run;
            if (p == end)
                break;
        }

        const char16_t *const at = p;
        const char16_t c = *p++;
        if (c == u'<' || c == FullOpen) {
            insideTag = true;
            steps.tagOpen(at, pendingParen);
            pendingParen = false;
        } else if (c == u'>' || c == FullClose) {
            insideTag = false;
            steps.tagClose(at); // a pending "（" stays pending across the close
        } else if (insideTag) {
            switch (c) {
            case FullParen:
                steps.parenDropped(at); // the characters on either side join into one word
                break;
            case u' ':
            case IdeoSpace:
                steps.wordSeparator(at, u' ');
                break;
            case u'=':
            case FullEquals:
                steps.wordSeparator(at, u'=');
                break;
            default: // 「, 」 or "
                steps.wordSeparator(at, u'"');
                break;
            }
        } else if (c == FullParen) {
            if (pendingParen)
                steps.parenResolved(at, FullParen);
            else
                steps.parenHeld(at);
            pendingParen = !pendingParen;
        } else if (pendingParen) {
            // The second character of an escape.
            if (c == u'[' || c == LenticularOpen)
                steps.parenResolved(at, FullOpen);
            else if (c == u']' || c == LenticularClose)
                steps.parenResolved(at, FullClose);
            else
                steps.parenResolved(at, 0);
            pendingParen = false;
        } else {
            steps.pageText(at, p);
        }
    }
    state.insideTag = insideTag;
    state.pendingParen = pendingParen;
}

// The word being read inside a tag. Most words stand in one piece in the input and are looked
// up where they stand; only a word split by a dropped "（" or a repeated "＜" is copied.
class CurrentWord {
public:
    void add(const char16_t *begin, const char16_t *end)
    {
        if (m_buffered) {
            m_buffer.append(begin, end);
        } else if (!m_begin || m_end == begin) {
            if (!m_begin)
                m_begin = begin;
            m_end = end;
        } else {
            m_buffer.assign(m_begin, m_end);
            m_buffer.append(begin, end);
            m_buffered = true;
        }
    }
    std::u16string_view view() const
    {
        if (m_buffered)
            return m_buffer;
        return m_begin ? std::u16string_view(m_begin, static_cast<std::size_t>(m_end - m_begin)) : std::u16string_view();
    }
    void clear()
    {
        m_begin = m_end = nullptr;
        if (m_buffered) {
            m_buffer.clear();
            m_buffered = false;
        }
    }

private:
    const char16_t *m_begin = nullptr;
    const char16_t *m_end = nullptr;
    bool m_buffered = false;
    std::u16string m_buffer;
};

// ToHtml's side of the walk: each step appends its output.
class HtmlWriter {
public:
    HtmlWriter(const TagTable &table, std::u16string &out) : m_table(table), m_out(out) {}

    void pageText(const char16_t *begin, const char16_t *end) { m_out.append(begin, end); }
    void wordText(const char16_t *begin, const char16_t *end) { m_word.add(begin, end); }
    void tagOpen(const char16_t *, bool parenReleased)
    {
        if (parenReleased)
            m_out.push_back(FullParen);
        m_out.push_back(u'<');
    }
    void tagClose(const char16_t *) { closeWord(u'>'); }
    void wordSeparator(const char16_t *, char16_t output) { closeWord(output); }
    void parenDropped(const char16_t *) {}
    void parenHeld(const char16_t *) {}
    void parenResolved(const char16_t *at, char16_t output)
    {
        if (output == FullParen) {
            m_out.push_back(FullParen);
            m_out.push_back(FullParen);
        } else if (output) {
            m_out.push_back(output);
        } else {
            m_out.push_back(FullParen);
            m_out.push_back(*at);
        }
    }

private:
    void closeWord(char16_t separator)
    {
        m_out.append(m_table.LookupHtmlName(m_word.view()));
        m_out.push_back(separator);
        m_word.clear();
    }

    const TagTable &m_table;
    std::u16string &m_out;
    CurrentWord m_word;
};

// The scanner's side: the same walk, forwarded to its steps.
class ForwardedSteps {
public:
    explicit ForwardedSteps(TagWalkSteps &steps) : m_steps(steps) {}
    void pageText(const char16_t *b, const char16_t *e) { m_steps.pageText(b, e); }
    void wordText(const char16_t *b, const char16_t *e) { m_steps.wordText(b, e); }
    void tagOpen(const char16_t *at, bool parenReleased) { m_steps.tagOpen(at, parenReleased); }
    void tagClose(const char16_t *at) { m_steps.tagClose(at); }
    void wordSeparator(const char16_t *at, char16_t output) { m_steps.wordSeparator(at, output); }
    void parenDropped(const char16_t *at) { m_steps.parenDropped(at); }
    void parenHeld(const char16_t *at) { m_steps.parenHeld(at); }
    void parenResolved(const char16_t *at, char16_t output) { m_steps.parenResolved(at, output); }

private:
    TagWalkSteps &m_steps;
};

} // namespace

void walkTags(std::u16string_view text, TagWalkState &state, TagWalkSteps &steps)
{
    ForwardedSteps forwarded(steps);
    walkJapaneseTags(text.data(), text.data() + text.size(), state, forwarded);
}

std::u16string ToHtml(std::u16string_view text, const TagTable &table)
{
    std::u16string out;
    ToHtml(text, table, out);
    return out;
}

void ToHtml(std::u16string_view text, const TagTable &table, std::u16string &out)
{
    out.clear();
    out.reserve(text.size() + text.size() / 8 + 16);
    HtmlWriter writer(table, out);
    TagWalkState state;
    // At the end a word never closed is dropped, and so is a pending "（".
    walkJapaneseTags(text.data(), text.data() + text.size(), state, writer);
}

std::u16string ToJapaneseTags(std::u16string_view html, const TagTable &table)
{
    std::u16string out;
    out.reserve(html.size() + html.size() / 4 + 16);
    std::u16string word;
    bool insideTag = false;
    bool quoteOpens = true; // belongs to the whole text: never reset at "<" or ">"

    const auto closeWord = [&](char16_t separator) {
        out.append(table.LookupJapaneseName(word));
        out.push_back(separator);
        word.clear();
    };

    const char16_t *p = html.data();
    const char16_t *const end = html.data() + html.size();
    while (p < end) {
        if (insideTag) {
            const char16_t *run = TagsInsideSpecial.skipOthers(p, end);
            if (quoteOpens) {
                for (const char16_t *q = p; q < run; ++q)
                    word.push_back(LowerAsciiLetter(*q));
            } else {
                word.append(p, run);
            }
            p = run;
        } else {
            const char16_t *run = skipPageText(p, end, TagsOutsideSpecial);
            out.append(p, run);
            p = run;
        }
        if (p == end)
            break;

        const char16_t c = *p++;
        switch (c) {
        case u'<':
            insideTag = true;
            out.push_back(FullOpen);
            break;
        case u'>':
            insideTag = false;
            closeWord(FullClose);
            break;
        case FullOpen:
            out.push_back(FullParen);
            out.push_back(LenticularOpen);
            break;
        case FullClose:
            out.push_back(FullParen);
            out.push_back(LenticularClose);
            break;
        case u' ':
        case IdeoSpace:
            closeWord(IdeoSpace);
            break;
        case u'=':
            closeWord(FullEquals);
            break;
        default: // '"' inside a tag
            closeWord(quoteOpens ? CornerOpen : CornerClose);
            quoteOpens = !quoteOpens;
            break;
        }
    }
    return out;
}

} // namespace qrn
