#include "HenkanMod.h"

#include "TagWalkLoop.h"

namespace qrn {
using namespace walk;

namespace {

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

} // namespace

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
