#pragma once

#include <document/DocumentText.h>
#include <storage/SettingsFile.h>

#include <QPlainTextEdit>
#include <QTextCursor>

#include <cstdint>
#include <optional>

namespace qrn {

class DialogService;
class FindBar;
class PageChecker;
class LineNumberArea;
class TagCompleter;
class TagHighlighter;
class TagTable;

// The document editor. Its text is the document, with CR LF line ends whatever the widget keeps
// inside; its font and two colour values are the editor appearance the settings file stores.
// It colours the notation by the dictionary, completes tag words, finds and replaces in a bar
// below the text and numbers the lines in a margin at its left, all inside its own area.
class EditorText : public QPlainTextEdit, public DocumentText {
    Q_OBJECT
public:
    explicit EditorText(QWidget *parent);

    // Lines longer than this are shown in pieces of this length, one under the other, so that no
    // single block of the widget is ever laid out whole: a minified page of 50 MB on one line
    // opens and types like any other. The pieces are the display's only: text() joins them.
    static constexpr int DisplayLineLimit = 2000;
    // A text past this size is put in piece by piece, the event loop kept going in between (not
    // for the user's input) and loadProgress telling how far it is.
    static constexpr qsizetype LoadPieceSize = 1 << 20;

    QString text() const override;
    // Replaces the whole text; textChanged follows exactly once.
    void setText(const QString &text) override;
    // Stops a load in progress where it is (the program is ending).
    void abandonLoading() { m_abandonLoading = true; }
    bool isLoading() const { return m_loading; }
    // The 0-based document line a block of the widget shows part of.
    int documentLine(const QTextBlock &block) const;
    // The caret's document line, found once per caret move (an edit that moves its line moves
    // it too; in a document with long lines in pieces, finding a line walks from the first block).
    int caretLine() const;
    // The first block that shows the 0-based document line.
    QTextBlock blockOfDocumentLine(int line) const;
    // Puts the caret at the start of a 0-based document line, in view, and the focus here.
    void goToLine(int line);

    // Colour values: 0x00BBGGRR, or a system colour (high bit set).
    std::int32_t backColor() const { return m_backColor; }
    std::int32_t foreColor() const { return m_foreColor; }
    void setBackColor(std::int32_t value);
    void setForeColor(std::int32_t value);

    // The six values the settings file stores, read and applied together. A value the file did
    // not hold keeps what the editor has.
    EditorAppearance appearance() const;
    void applyAppearance(const SettingsFields &fields);

    // The font and colour commands: each asks through the shared dialog, and a cancelled dialog
    // changes nothing.
    void askFont(DialogService &dialog, QWidget *parent);
    void askBackColor(DialogService &dialog, QWidget *parent);
    void askForeColor(DialogService &dialog, QWidget *parent);

    // The dictionary that highlighting and completion use; none switches both off.
    void setTagTable(const TagTable *table);
    // After the dictionary changed: every word is checked again, the completion list rebuilt.
    void rehighlightAll();

    // A problem the page check found, marked with a wavy line under its word in its line.
    struct Mark {
        int line; // 0-based document line
        QString word;
        QString sentence; // the tooltip over the word
        bool error;       // an error, or a note
    };
    void setProblemMarks(const QList<Mark> &marks);
    // Every match of the find bar, shown while it is open.
    void setFindHighlights(const QList<QTextCursor> &matches);

    // Zoom in steps of a tenth of the font size; the font the settings file holds stays as it is.
    int zoomSteps() const { return m_zoomSteps; }
    void setZoomSteps(int steps);
    // Long lines wrapped at the window's edge, for display only.
    void setWrapped(bool wrapped);

    TagHighlighter *highlighter() const { return m_highlighter; }
    PageChecker *pageChecker() const { return m_checker; }
    TagCompleter *completer() const { return m_completer; }
    FindBar *findBar() const { return m_findBar; }
    LineNumberArea *lineNumberArea() const { return m_lineNumbers; }

signals:
    // Percent of a large text put in so far; 100 when it is all there.
    void loadProgress(int percent);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void applyColors();
    void updateMargins();
    // The tooltip of the highlighted word under a point of the viewport, or empty text.
    QString toolTipAt(const QPoint &point) const;

    TagHighlighter *m_highlighter;
    TagCompleter *m_completer;
    FindBar *m_findBar;
    LineNumberArea *m_lineNumbers;
    PageChecker *m_checker;
    QList<QTextEdit::ExtraSelection> m_findSelections, m_problemSelections;
    int m_zoomSteps = 0;
    bool m_listBeforeComposing = false; // the word list was open when an input method began
    qreal m_basePointSize = 0;
    QFont baseFont() const;
    void setBaseFont(const QFont &base);
    QList<std::pair<QTextCursor, QString>> m_problemTips; // marked words and their sentences


    std::int32_t m_backColor;
    std::int32_t m_foreColor;
    mutable std::optional<int> m_caretLine; // caretLine()'s answer until the caret or the text moves
    int m_pieces = 0; // blocks that continue a line, as set by setText (0: none, the fast paths)
    bool m_loading = false;
    bool m_abandonLoading = false;
};

} // namespace qrn
