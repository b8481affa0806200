#pragma once

#include "HighlightColors.h"

#include <core/TagScanner.h>

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <memory>
#include <optional>
#include <vector>

namespace qrn {

class TagTable;

// Colours the Japanese-tag notation as ToHtml reads it, one block (line) at a time: each block
// keeps the scanner's state at its end, so an edit re-highlights its own block and goes on only
// while the state at the following block's start changes. A word inside a tag that the
// dictionary lacks and that holds a non-ASCII character is underlined and carries a tooltip.
class TagHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit TagHighlighter(QTextDocument *document);
    ~TagHighlighter() override;

    // The dictionary the words are checked against; none switches highlighting off. Re-highlights.
    void setTagTable(const TagTable *table);
    const TagTable *tagTable() const { return m_table; }
    // After the dictionary changed: checks every word again.
    void rehighlightAll();
    // Re-highlights only when the colours change.
    void setColors(const QColor &background, const QColor &text);
    const HighlightColors &colors() const { return m_colors; }

    // What a scan of `block` up to `column` ends in, from the state the previous block left.
    struct LineContext {
        TagScanState state;        // state.walk.insideTag: the column is inside a tag
        int wordStart = 0;         // where the word being typed at the column begins
        bool fullWidthTag = true;  // the tag was opened with "＜" (or on an earlier line)
    };
    std::optional<LineContext> contextAt(const QTextBlock &block, int column) const;

    // Where the caret is: the unknown word it is writing at the end of a line, in a tag not yet
    // closed, and the line that tag runs into are not underlined.
    void setCaret(int blockNumber, int column);

    // The message on an unknown word, with the word, as plain text.
    static QString unknownWordMessage(const QString &word);

protected:
    void highlightBlock(const QString &text) override;

private:
    TagScanState stateAtStart(const QTextBlock &block) const;
    void rehighlightQuietly();
    void buildFormats();

    const TagTable *m_table = nullptr;
    std::unique_ptr<TagScanner> m_scanner;
    HighlightColors m_colors;
    QColor m_background, m_text;
    QTextCharFormat m_bracket, m_tagName, m_attribute, m_value, m_escape, m_quiet;
    std::vector<TagSpan> m_spans;
    std::vector<TagWord> m_words;
    int m_nextStateId = 1;
    int m_caretBlock = -1, m_caretColumn = -1;
    bool m_caretAtLineEnd = false;
};

} // namespace qrn
