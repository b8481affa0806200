#include "TagHighlighter.h"

#include <core/TagTable.h>
#include <storage/TextCodec.h>

#include <QTextDocument>

#include <algorithm>
#include <limits>

namespace qrn {

namespace {

// The scanner's state at the end of a block: where the next block's scan starts.
class BlockEndState : public QTextBlockUserData {
public:
    TagScanState state;
};

// The block state QSyntaxHighlighter compares: 0 for the plain state outside any tag, else a
// number that changes exactly when the state kept with the block changes.
constexpr int PlainState = 0;

} // namespace

TagHighlighter::TagHighlighter(QTextDocument *document) : QSyntaxHighlighter(document)
{
    setColors(Qt::white, Qt::black);
}

TagHighlighter::~TagHighlighter() = default;

void TagHighlighter::setTagTable(const TagTable *table)
{
    m_table = table;
    rehighlightAll();
}

void TagHighlighter::rehighlightAll()
{
    m_scanner = m_table ? std::make_unique<TagScanner>(*m_table) : nullptr;
    rehighlightQuietly();
}

// QSyntaxHighlighter::rehighlight wraps its work in an edit block, which announces a change of
// the text when formats changed. Formats are no text: the document's signals stay silent so the
// editor reports no change (the layout still repaints, it is told directly).
void TagHighlighter::rehighlightQuietly()
{
    const QSignalBlocker quiet(document());
    rehighlight();
}

void TagHighlighter::setColors(const QColor &background, const QColor &text)
{
    if (background == m_background && text == m_text)
        return;
    m_background = background;
    m_text = text;
    m_colors = highlightColorsFor(background, text);
    buildFormats();
    if (m_scanner)
        rehighlightQuietly();
}

void TagHighlighter::buildFormats()
{
    const auto colored = [](const QColor &c) {
        QTextCharFormat f;
        f.setForeground(c);
        return f;
    };
    m_bracket = colored(m_colors.bracket);
    m_tagName = colored(m_colors.tagName);
    m_attribute = colored(m_colors.attribute);
    m_value = colored(m_colors.value);
    m_escape = colored(m_colors.escape);
    m_quiet = colored(m_colors.quiet);
}

void TagHighlighter::setCaret(int blockNumber, int column)
{
    if (blockNumber == m_caretBlock && column == m_caretColumn)
        return;
    const int before = m_caretBlock;
    const bool atEndBefore = m_caretAtLineEnd;
    m_caretBlock = blockNumber;
    m_caretColumn = column;
    const QTextBlock caret = document()->findBlockByNumber(blockNumber);
    m_caretAtLineEnd = caret.isValid() && column == caret.length() - 1;
    if (!m_scanner)
        return;
    // Within a line that ends outside a tag, where the caret is changes no underline: a key's
    // own re-highlighting is not done twice.
    const auto *kept = dynamic_cast<const BlockEndState *>(caret.userData());
    if (before == blockNumber && !(kept && kept->state.walk.insideTag) && atEndBefore == m_caretAtLineEnd)
        return;
    // The lines whose underlines depend on where the caret is, before and now; formats are no
    // text, so the document stays silent (see rehighlightQuietly).
    QTextDocument *doc = document();
    const QSignalBlocker quiet(doc);
    QList<int> lines{before, blockNumber};
    if (atEndBefore)
        lines << before + 1;
    if (m_caretAtLineEnd)
        lines << blockNumber + 1;
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    for (int number : lines) {
        const QTextBlock b = doc->findBlockByNumber(number);
        if (b.isValid())
            rehighlightBlock(b);
    }
}

QString TagHighlighter::unknownWordMessage(const QString &word)
{
    return QStringLiteral("辞書にない語です：「%1」").arg(word);
}

TagScanState TagHighlighter::stateAtStart(const QTextBlock &block) const
{
    const QTextBlock previous = block.previous();
    if (!previous.isValid())
        return {};
    if (const auto *kept = dynamic_cast<const BlockEndState *>(previous.userData()))
        return kept->state;
    return {};
}

void TagHighlighter::highlightBlock(const QString &text)
{
    if (!m_scanner)
        return;
    const QTextBlock block = currentBlock();
    TagScanState state = stateAtStart(block);
    const bool startsInTag = state.walk.insideTag;
    m_scanner->scanLine(toU16View(text), state, !block.next().isValid(), m_spans, &m_words);
    // A tag the caret is still writing at the end of its line is not judged yet: neither the
    // word at the caret nor the line the open tag runs into is underlined until it is closed.
    const bool caretBlock = block.blockNumber() == m_caretBlock;
    const bool runOnLine = block.blockNumber() == m_caretBlock + 1 && startsInTag && m_caretAtLineEnd;
    const int caretColumn = caretBlock ? m_caretColumn : -1;
    const bool tagOpenAtEnd = state.walk.insideTag;

    for (const TagSpan &span : m_spans) {
        const int start = int(span.start), length = int(span.length);
        switch (span.kind) {
        case TagSpanKind::PageText:
            break;
        case TagSpanKind::TagOpen:
        case TagSpanKind::TagClose:
        case TagSpanKind::Separator:
        case TagSpanKind::Equals:
        case TagSpanKind::Quote:
            setFormat(start, length, m_bracket);
            break;
        case TagSpanKind::Escape:
            setFormat(start, length, m_escape);
            break;
        case TagSpanKind::Dropped:
            setFormat(start, length, m_quiet);
            break;
        case TagSpanKind::Word:
            if (span.status == WordStatus::AsciiUnknown)
                setFormat(start, length, m_quiet);
            else
                setFormat(start, length,
                          span.role == WordRole::TagName         ? m_tagName
                          : span.role == WordRole::AttributeName ? m_attribute
                                                                 : m_value);
            break;
        }
    }
    // Unknown words again, underlined and with the word in a tooltip. The text of a word that
    // runs over a line end is what the block knows of it.
    for (const TagWord &word : m_words) {
        if (word.status != WordStatus::Unknown || runOnLine)
            continue;
        if (caretBlock && tagOpenAtEnd && word.spanCount > 0) {
            const TagSpan &first = m_spans[word.firstSpan], &last = m_spans[word.firstSpan + word.spanCount - 1];
            if (caretColumn >= int(first.start) && caretColumn <= int(last.start + last.length))
                continue;
        }
        QString shown = fromU16(word.text);
        while (shown.endsWith(QLatin1Char('\n')) || shown.endsWith(QLatin1Char('\r')))
            shown.chop(1);
        for (std::uint32_t i = word.firstSpan; i < word.firstSpan + word.spanCount; ++i) {
            const TagSpan &span = m_spans[i];
            QTextCharFormat f = format(int(span.start));
            f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
            f.setUnderlineColor(m_colors.warning);
            f.setToolTip(unknownWordMessage(shown));
            setFormat(int(span.start), int(span.length), f);
        }
    }

    // Keep the end state with the block; the number QSyntaxHighlighter compares changes only when
    // the state does, so the next block is re-highlighted exactly when its start state changed.
    auto *kept = dynamic_cast<BlockEndState *>(currentBlockUserData());
    int id = PlainState;
    if (!(state == TagScanState())) {
        const int before = currentBlockState();
        if (kept && before > PlainState && kept->state == state) {
            id = before;
        } else {
            id = m_nextStateId;
            m_nextStateId = m_nextStateId == std::numeric_limits<int>::max() ? 1 : m_nextStateId + 1;
        }
    }
    if (!kept) {
        kept = new BlockEndState;
        setCurrentBlockUserData(kept);
    }
    kept->state = std::move(state);
    setCurrentBlockState(id);
}

std::optional<TagHighlighter::LineContext> TagHighlighter::contextAt(const QTextBlock &block, int column) const
{
    if (!m_scanner || !block.isValid())
        return std::nullopt;
    LineContext context;
    context.state = stateAtStart(block);
    const QString text = block.text().left(column);
    std::vector<TagSpan> spans;
    m_scanner->scanLine(toU16View(text), context.state, true, spans);
    context.wordStart = int(text.size());
    std::uint32_t lastOpen = 0;
    bool openHere = false;
    for (const TagSpan &span : spans) {
        if (span.kind == TagSpanKind::TagOpen) {
            lastOpen = span.start;
            openHere = true;
        }
        if (span.kind == TagSpanKind::Word && span.start + span.length == std::uint32_t(text.size()))
            context.wordStart = int(span.start);
    }
    if (openHere)
        context.fullWidthTag = text.at(int(lastOpen)) == QChar(u'＜');
    return context;
}

} // namespace qrn
