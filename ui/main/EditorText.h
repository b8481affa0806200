#pragma once

#include <SettingsFile.h>
#include <document/DocumentText.h>

#include <QPlainTextEdit>

#include <cstdint>

namespace qrn {

class DialogService;
class FindBar;
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

    QString text() const override;
    // Replaces the whole text; textChanged follows exactly once.
    void setText(const QString &text) override;

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

    TagHighlighter *highlighter() const { return m_highlighter; }
    TagCompleter *completer() const { return m_completer; }
    FindBar *findBar() const { return m_findBar; }
    LineNumberArea *lineNumberArea() const { return m_lineNumbers; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
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

    std::int32_t m_backColor;
    std::int32_t m_foreColor;
};

} // namespace qrn
