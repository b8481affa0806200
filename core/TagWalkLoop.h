#pragma once

// The loop of the walk through Japanese-tag text, for the converter and the scanner alone: a
// template, so that each compiles it around its own steps and ToHtml pays nothing for sharing.

#include "TagWalk.h"

#include <array>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qrn::walk {

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

inline constexpr char16_t FullOpen = u'＜';       // U+FF1C
inline constexpr char16_t FullClose = u'＞';      // U+FF1E
inline constexpr char16_t FullParen = u'（';      // U+FF08
inline constexpr char16_t FullEquals = u'＝';     // U+FF1D
inline constexpr char16_t IdeoSpace = u'　';      // U+3000
inline constexpr char16_t CornerOpen = u'「';     // U+300C
inline constexpr char16_t CornerClose = u'」';    // U+300D
inline constexpr char16_t LenticularOpen = u'【'; // U+3010
inline constexpr char16_t LenticularClose = u'】';// U+3011

inline constexpr PageTextStops HtmlOutsideSpecial{std::array<char16_t, 5>{u'<', u'>', FullOpen, FullClose, FullParen}};
inline constexpr CodeUnitSet HtmlInsideSpecial{u'<',       u'>',       FullOpen,    FullClose,   FullParen, u' ',
                                        IdeoSpace,  u'=',       FullEquals,  CornerOpen,  CornerClose, u'"'};
inline constexpr PageTextStops TagsOutsideSpecial{std::array<char16_t, 4>{u'<', u'>', FullOpen, FullClose}};
inline constexpr CodeUnitSet TagsInsideSpecial{u'<', u'>', FullOpen, FullClose, u' ', IdeoSpace, u'=', u'"'};

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

} // namespace qrn::walk
