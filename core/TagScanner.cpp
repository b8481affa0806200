#include "TagScanner.h"

#include <algorithm>

namespace qrn {
namespace {

constexpr char16_t CornerOpen = u'「';
constexpr char16_t CornerClose = u'」';
constexpr char16_t LineEnd[] = {u'\r', u'\n'};

bool isAscii(std::u16string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x80; });
}

// Records the walk as spans. Positions outside the text being scanned (the line end a line scan
// walks after its line) go into words but yield no span.
class SpanRecorder : public TagWalkSteps {
public:
    SpanRecorder(const TagTable &table, TagScanState &state, std::vector<TagSpan> &spans, std::vector<TagWord> *words)
        : m_table(table), m_state(state), m_spans(spans), m_words(words)
    {
    }

    // Positions from here on are offsets from `base` plus `bias`.
    void setOrigin(const char16_t *base, std::uint32_t bias, std::uint32_t limit)
    {
        m_base = base;
        m_bias = bias;
        m_limit = limit;
    }

    void pageText(const char16_t *begin, const char16_t *end) override { add(begin, end, TagSpanKind::PageText); }

    void wordText(const char16_t *begin, const char16_t *end) override
    {
        if (m_state.word.empty())
            m_state.wordRole = m_state.nextRole;
        m_state.word.append(begin, end);
        const std::uint32_t start = offset(begin);
        if (start < m_limit)
            m_pieces.push_back({start, std::min(offset(end), m_limit) - start});
    }

    void tagOpen(const char16_t *at, bool parenReleased) override
    {
        if (parenReleased)
            addHeldParen(TagSpanKind::PageText);
        add(at, at + 1, TagSpanKind::TagOpen);
        m_state.nextRole = WordRole::TagName;
        m_state.inQuotes = false;
    }

    void tagClose(const char16_t *at) override
    {
        closeWord();
        add(at, at + 1, TagSpanKind::TagClose);
    }

    void wordSeparator(const char16_t *at, char16_t output) override
    {
        closeWord();
        switch (output) {
        case u' ':
            add(at, at + 1, TagSpanKind::Separator);
            m_state.nextRole = m_state.inQuotes ? WordRole::Value : WordRole::AttributeName;
            break;
        case u'=':
            add(at, at + 1, TagSpanKind::Equals);
            m_state.nextRole = WordRole::Value;
            break;
        default:
            add(at, at + 1, TagSpanKind::Quote);
            // 「 opens and 」 closes; the ASCII mark does both in turn.
            m_state.inQuotes = *at == CornerOpen ? true : *at == CornerClose ? false : !m_state.inQuotes;
            m_state.nextRole = m_state.inQuotes ? WordRole::Value : WordRole::AttributeName;
            break;
        }
    }

    void parenDropped(const char16_t *at) override { add(at, at + 1, TagSpanKind::Dropped); }

    void parenHeld(const char16_t *at) override { m_heldParen = offset(at); }

    void parenResolved(const char16_t *at, char16_t output) override
    {
        const TagSpanKind kind = output ? TagSpanKind::Escape : TagSpanKind::PageText;
        addHeldParen(kind);
        add(at, at + 1, kind);
    }

    // The end of the text: a word still open and a "（" still held are dropped by ToHtml.
    void finishText()
    {
        if (m_state.walk.pendingParen)
            addHeldParen(TagSpanKind::Dropped);
        if (!m_state.word.empty() || !m_pieces.empty())
            emitWord(WordStatus::Unfinished);
        m_state.word.clear();
    }

    // The end of a line whose line end has been walked: a word still open runs on into the next
    // line, so its pieces here are emitted now with what can be said already.
    template <class BeginsWith>
    void finishLine(BeginsWith someNameBeginsWith)
    {
        if (m_pieces.empty())
            return;
        WordStatus status = isAscii(m_state.word) ? WordStatus::AsciiUnknown : WordStatus::Unknown;
        if (someNameBeginsWith(m_state.word))
            status = WordStatus::Unfinished;
        emitWord(status);
    }

private:
    std::uint32_t offset(const char16_t *p) const { return m_bias + static_cast<std::uint32_t>(p - m_base); }

    void add(const char16_t *begin, const char16_t *end, TagSpanKind kind)
    {
        addAt(offset(begin), static_cast<std::uint32_t>(end - begin), kind);
    }

    void addAt(std::uint32_t start, std::uint32_t length, TagSpanKind kind)
    {
        if (start >= m_limit)
            return;
        length = std::min(length, m_limit - start);
        // Page text next to page text is one span: "（" written with the character after it.
        if (kind == TagSpanKind::PageText && !m_spans.empty()) {
            TagSpan &last = m_spans.back();
            if (last.kind == TagSpanKind::PageText && last.start + last.length == start) {
                last.length += length;
                return;
            }
        }
        TagSpan span;
        span.start = start;
        span.length = length;
        span.kind = kind;
        m_spans.push_back(span);
    }

    void addHeldParen(TagSpanKind kind)
    {
        if (m_heldParen != NoParen)
            addAt(m_heldParen, 1, kind);
        m_heldParen = NoParen;
    }

    void closeWord()
    {
        const int index = m_table.findJapaneseName(m_state.word);
        emitWord(index >= 0 ? WordStatus::Known
                 : isAscii(m_state.word) ? WordStatus::AsciiUnknown
                                          : WordStatus::Unknown);
        m_state.word.clear();
    }

    void emitWord(WordStatus status)
    {
        const auto first = static_cast<std::uint32_t>(m_spans.size());
        for (const Piece &piece : m_pieces) {
            TagSpan span;
            span.start = piece.start;
            span.length = piece.length;
            span.kind = TagSpanKind::Word;
            span.role = m_state.wordRole;
            span.status = status;
            m_spans.push_back(span);
        }
        if (m_words)
            m_words->push_back({m_state.word, status, m_state.wordRole, first, static_cast<std::uint32_t>(m_pieces.size())});
        m_pieces.clear();
    }

    struct Piece {
        std::uint32_t start, length;
    };
    static constexpr std::uint32_t NoParen = ~std::uint32_t(0);

    const TagTable &m_table;
    TagScanState &m_state;
    std::vector<TagSpan> &m_spans;
    std::vector<TagWord> *m_words;
    std::vector<Piece> m_pieces; // the current word's pieces in the text being scanned
    std::uint32_t m_heldParen = NoParen;
    const char16_t *m_base = nullptr;
    std::uint32_t m_bias = 0;
    std::uint32_t m_limit = 0;
};

} // namespace

TagScanner::TagScanner(const TagTable &table) : m_table(table)
{
    for (const TagEntry &entry : table.entries())
        if (entry.JapaneseName.find_first_of(u"\r\n") != std::u16string::npos)
            m_namesWithLineEnds.push_back(entry.JapaneseName);
}

bool TagScanner::someNameBeginsWith(std::u16string_view prefix) const
{
    return std::any_of(m_namesWithLineEnds.begin(), m_namesWithLineEnds.end(),
                       [prefix](const std::u16string &name) { return name.starts_with(prefix); });
}

void TagScanner::scan(std::u16string_view text, std::vector<TagSpan> &spans, std::vector<TagWord> *words) const
{
    spans.clear();
    if (words)
        words->clear();
    TagScanState state;
    SpanRecorder recorder(m_table, state, spans, words);
    recorder.setOrigin(text.data(), 0, static_cast<std::uint32_t>(text.size()));
    walkTags(text, state.walk, recorder);
    recorder.finishText();
}

void TagScanner::scanLine(std::u16string_view line, TagScanState &state, bool lastLine, std::vector<TagSpan> &spans,
                          std::vector<TagWord> *words) const
{
    spans.clear();
    if (words)
        words->clear();
    const auto length = static_cast<std::uint32_t>(line.size());
    SpanRecorder recorder(m_table, state, spans, words);
    recorder.setOrigin(line.data(), 0, length);
    walkTags(line, state.walk, recorder);
    if (lastLine) {
        recorder.finishText();
        return;
    }
    // The CR LF between this line and the next is walked too: inside a tag it joins the word, and
    // it completes a "（" held at the end of the line.
    const std::u16string_view lineEnd(LineEnd, 2);
    recorder.setOrigin(lineEnd.data(), length, length);
    walkTags(lineEnd, state.walk, recorder);
    recorder.finishLine([this](std::u16string_view word) { return someNameBeginsWith(word); });
}

} // namespace qrn
