#include "HenkanMod.h"

#include <array>
#include <cstdint>

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

constexpr char16_t FullOpen = u'＜';       // U+FF1C
constexpr char16_t FullClose = u'＞';      // U+FF1E
constexpr char16_t FullParen = u'（';      // U+FF08
constexpr char16_t FullEquals = u'＝';     // U+FF1D
constexpr char16_t IdeoSpace = u'　';      // U+3000
constexpr char16_t CornerOpen = u'「';     // U+300C
constexpr char16_t CornerClose = u'」';    // U+300D
constexpr char16_t LenticularOpen = u'【'; // U+3010
constexpr char16_t LenticularClose = u'】';// U+3011

constexpr CodeUnitSet HtmlOutsideSpecial{u'<', u'>', FullOpen, FullClose, FullParen};
constexpr CodeUnitSet HtmlInsideSpecial{u'<',       u'>',       FullOpen,    FullClose,   FullParen, u' ',
                                        IdeoSpace,  u'=',       FullEquals,  CornerOpen,  CornerClose, u'"'};
constexpr CodeUnitSet TagsOutsideSpecial{u'<', u'>', FullOpen, FullClose};
constexpr CodeUnitSet TagsInsideSpecial{u'<', u'>', FullOpen, FullClose, u' ', IdeoSpace, u'=', u'"'};

} // namespace

std::u16string ToHtml(std::u16string_view text, const TagTable &table)
{
    std::u16string out;
    out.reserve(text.size() + text.size() / 8 + 16);
    std::u16string word;
    bool insideTag = false;
    bool pendingParen = false;

    const auto closeWord = [&](char16_t separator) {
        out.append(table.LookupHtmlName(word));
        out.push_back(separator);
        word.clear();
    };

    const char16_t *p = text.data();
    const char16_t *const end = p + text.size();
    while (p < end) {
        if (insideTag) {
            // Word characters go into the current word as one run.
            const char16_t *run = HtmlInsideSpecial.skipOthers(p, end);
            word.append(p, run);
            p = run;
            if (p == end)
                break; // an unclosed tag loses its last word
        } else if (!pendingParen) {
            // Page text is copied in bulk up to the next character with a meaning.
            const char16_t *run = HtmlOutsideSpecial.skipOthers(p, end);
            out.append(p, run);
            p = run;
            if (p == end)
                break;
        }

        const char16_t c = *p++;
        if (c == u'<' || c == FullOpen) {
            if (pendingParen) {
                out.push_back(FullParen);
                pendingParen = false;
            }
            insideTag = true;
            out.push_back(u'<');
        } else if (c == u'>' || c == FullClose) {
            insideTag = false;
            closeWord(u'>'); // a pending "（" stays pending across the close
        } else if (insideTag) {
            switch (c) {
            case FullParen:
                break; // dropped: the characters on either side join into one word
            case u' ':
            case IdeoSpace:
                closeWord(u' ');
                break;
            case u'=':
            case FullEquals:
                closeWord(u'=');
                break;
            default: // 「, 」 or "
                closeWord(u'"');
                break;
            }
        } else if (c == FullParen) {
            if (pendingParen) {
                out.push_back(FullParen);
                out.push_back(FullParen);
            }
            pendingParen = !pendingParen;
        } else if (pendingParen) {
            // The second character of an escape.
            if (c == u'[' || c == LenticularOpen) {
                out.push_back(FullOpen);
            } else if (c == u']' || c == LenticularClose) {
                out.push_back(FullClose);
            } else {
                out.push_back(FullParen);
                out.push_back(c);
            }
            pendingParen = false;
        } else {
            out.push_back(c);
        }
    }
    return out;
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
            const char16_t *run = TagsOutsideSpecial.skipOthers(p, end);
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
