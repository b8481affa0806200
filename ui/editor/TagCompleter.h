#pragma once

#include <QObject>

class QAbstractItemView;
class QCompleter;
class QPlainTextEdit;
class QStandardItemModel;

namespace qrn {

class TagHighlighter;
class TagTable;

// Offers the dictionary's Japanese words while a tag is written: the words that fit where the
// caret stands (an element after "＜", an attribute's name after a blank, a value after "＝" or
// "「", colours with a swatch) and begin with what stands between the start of the word and the
// caret, each with its description, in table order.
// The list opens on Ctrl+Space inside a tag and when "＜" or a separator is typed there; typing on
// filters it, Enter or Tab puts the chosen word in place of what was typed, Esc closes it.
class TagCompleter : public QObject {
    Q_OBJECT
public:
    TagCompleter(QPlainTextEdit &editor, const TagHighlighter &highlighter);

    void setTagTable(const TagTable *table);
    // After the dictionary or the editor's font changed: the list is rebuilt when it next opens.
    void rebuildLater() { m_stale = true; }

    bool isOpen() const;
    QAbstractItemView *popup() const;
    // Ctrl+Space: opens the list for the word at the caret; false outside a tag or without a match.
    bool openAtCaret();
    // After a key or an input method changed the text: filters the open list, or opens it when
    // `typed` ends in "＜" or a separator inside a tag.
    void textTyped(const QString &typed);

private:
    struct Word {
        int start; // document position where the word at the caret begins
        QString prefix;
        bool fullWidthTag;
        QChar before; // what stands before the word: "＜", a blank, "＝" or "「"
    };
    // The word the caret stands in, when it stands inside a tag.
    bool wordAtCaret(Word &word) const;
    bool showFor(const Word &word);
    void insert(const QString &completion);
    void refill();

    QPlainTextEdit &m_editor;
    const TagHighlighter &m_highlighter;
    const TagTable *m_table = nullptr;
    QCompleter *m_completer;
    // The words for each place in a tag: the element's, an attribute's name, a value.
    QStandardItemModel *m_models[3];
    bool m_stale = true;
    // Widths of the longest word and description in the editor's font, measured at refill.
    int m_wordWidth = 0;
    int m_descriptionWidth = 0;
};

} // namespace qrn
