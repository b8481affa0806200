#include "EditorText.h"

#include "FindBar.h"
#include "LineNumberArea.h"
#include "LinePieces.h"
#include "PageChecker.h"
#include "TagCompleter.h"
#include "TagHighlighter.h"

#include <dialogs/ColorValue.h>
#include <dialogs/DialogService.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <utility>

namespace qrn {

EditorText::EditorText(QWidget *parent)
    : QPlainTextEdit(parent), m_backColor(SystemColorWindow), m_foreColor(SystemColorWindowText)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    m_highlighter = new TagHighlighter(document());
    m_completer = new TagCompleter(*this, *m_highlighter);
    m_findBar = new FindBar(*this);
    m_checker = new PageChecker(*this, this);
    m_lineNumbers = new LineNumberArea(*this, [this] {
        QList<LineNumberArea::Number> numbers;
        const qreal bottom = viewport()->height();
        QTextBlock block = firstVisibleBlock();
        qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
        // The pieces of a long line after its first carry no number of their own.
        int line = documentLine(block);
        const int caretLine = this->caretLine();
        for (bool first = true; block.isValid() && top <= bottom; first = false) {
            const qreal height = blockBoundingRect(block).height();
            const bool piece = continuesLine(block);
            if (!first && !piece)
                ++line;
            if (block.isVisible() && !(piece && !first))
                numbers.append({line + 1, qRound(top), qRound(height), line == caretLine});
            top += height;
            block = block.next();
        }
        return numbers;
    });
    connect(m_findBar, &FindBar::layoutChanged, this, &EditorText::updateMargins);
    connect(m_checker, &PageChecker::problemsChanged, this, &EditorText::updateMargins);
    connect(m_findBar, &FindBar::matchesChanged, this, &EditorText::setFindHighlights);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &EditorText::updateMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy)
            m_lineNumbers->scroll(0, dy);
        else
            m_lineNumbers->update(0, rect.y(), m_lineNumbers->width(), rect.height());
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
        m_caretLine.reset();
        const QTextCursor caret = textCursor();
        m_highlighter->setCaret(caret.blockNumber(), caret.positionInBlock());
    });
    // The caret's line number stands out.
    connect(this, &QPlainTextEdit::cursorPositionChanged, m_lineNumbers, qOverload<>(&QWidget::update));
    applyColors();
    updateMargins();
}

void EditorText::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasText() || isReadOnly()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QTextCursor cursor = textCursor();
    insertLines(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

int EditorText::documentLine(const QTextBlock &block) const
{
    if (m_pieces == 0)
        return block.blockNumber();
    int line = -1;
    for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next()) {
        if (!continuesLine(b))
            ++line;
        if (b == block)
            break;
    }
    return std::max(0, line);
}

int EditorText::caretLine() const
{
    if (!m_caretLine)
        m_caretLine = documentLine(textCursor().block());
    return *m_caretLine;
}

QTextBlock EditorText::blockOfDocumentLine(int line) const
{
    if (m_pieces == 0)
        return document()->findBlockByNumber(line);
    int at = -1;
    for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next())
        if (!continuesLine(b) && ++at == line)
            return b;
    return {};
}

void EditorText::goToLine(int line)
{
    const QTextBlock block = blockOfDocumentLine(line);
    if (!block.isValid())
        return;
    setTextCursor(QTextCursor(block));
    ensureCursorVisible();
    setFocus();
}

void EditorText::setTagTable(const TagTable *table)
{
    m_completer->setTagTable(table);
    m_highlighter->setTagTable(table);
    m_checker->setTagTable(table);
}

void EditorText::rehighlightAll()
{
    m_completer->rebuildLater();
    m_highlighter->rehighlightAll();
}

void EditorText::updateMargins()
{
    const int left = m_lineNumbers->preferredWidth();
    const int bar = !m_findBar->isHidden() ? m_findBar->sizeHint().height() : 0;
    QListWidget *panel = m_checker->panel();
    const int list = !panel->isHidden() ? QFontMetrics(panel->font()).height() * 5 + 6 : 0;
    setViewportMargins(left, 0, 0, bar + list);
    const QRect text = viewport()->geometry();
    m_lineNumbers->setGeometry(text.left() - left, text.top(), left, text.height());
    panel->setGeometry(text.left() - left, text.bottom() + 1, text.width() + left, list);
    m_findBar->setGeometry(text.left() - left, text.bottom() + 1 + list, text.width() + left, bar);
}

void EditorText::setProblemMarks(const QList<Mark> &marks)
{
    QList<QTextEdit::ExtraSelection> selections;
    m_problemTips.clear();
    // One pass over the blocks: the marks come in line order.
    QTextBlock block = document()->firstBlock();
    int line = 0;
    for (const Mark &mark : marks) {
        while (block.isValid() && line < mark.line) {
            block = block.next();
            if (block.isValid() && !continuesLine(block))
                ++line;
        }
        if (!block.isValid())
            break;
        if (mark.word.isEmpty())
            continue;
        // The word in its line, the pieces of a long line included.
        int at = -1;
        for (QTextBlock b = block; b.isValid() && (b == block || continuesLine(b)); b = b.next()) {
            if (const int found = int(b.text().indexOf(mark.word)); found >= 0) {
                at = b.position() + found;
                break;
            }
        }
        if (at < 0)
            continue;
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(document());
        selection.cursor.setPosition(at);
        selection.cursor.setPosition(at + int(mark.word.size()), QTextCursor::KeepAnchor);
        // Errors in orange, notes in a quiet blue: apart from the red of an unknown word.
        selection.format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        selection.format.setUnderlineColor(mark.error ? QColor(0xE0, 0x70, 0x00) : QColor(0x60, 0x88, 0xB0));
        selections.append(selection);
        m_problemTips.append({selection.cursor, mark.sentence});
    }
    m_problemSelections = selections;
    setExtraSelections(m_findSelections + m_problemSelections);
}

void EditorText::setFindHighlights(const QList<QTextCursor> &matches)
{
    m_findSelections.clear();
    QTextCharFormat format;
    format.setBackground(QColor(0xFF, 0xE0, 0x80));
    format.setForeground(QColor(Qt::black));
    for (const QTextCursor &match : matches)
        m_findSelections.append({match, format});
    setExtraSelections(m_findSelections + m_problemSelections);
}

void EditorText::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    updateMargins();
}

void EditorText::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        updateMargins();
        m_completer->rebuildLater(); // its widths are measured in the editor's font
    }
}

void EditorText::keyPressEvent(QKeyEvent *event)
{
    if (m_completer->isOpen()) {
        switch (event->key()) {
        case Qt::Key_Enter:
        case Qt::Key_Return:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            event->ignore(); // the list's own: choose or close
            return;
        default:
            break;
        }
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const int key = event->key();
    if (modifiers == Qt::ControlModifier && key == Qt::Key_Space) {
        m_completer->openAtCaret();
        return;
    }
    if (modifiers == Qt::ControlModifier && key == Qt::Key_F) {
        m_findBar->openForFind();
        return;
    }
    if (modifiers == Qt::ControlModifier && key == Qt::Key_H) {
        m_findBar->openForReplace();
        return;
    }
    if (key == Qt::Key_F3 && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
        if (modifiers == Qt::ShiftModifier)
            m_findBar->findPrevious();
        else
            m_findBar->findNext();
        return;
    }
    if (key == Qt::Key_F8 && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
        m_checker->goToNext(modifiers == Qt::ShiftModifier);
        return;
    }
    if (key == Qt::Key_Escape && modifiers == Qt::NoModifier && !m_findBar->isHidden()) {
        m_findBar->closeBar();
        return;
    }
    // A typed line break starts a new line, also inside a piece of a long line.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !(modifiers & Qt::ControlModifier) && m_pieces > 0) {
        QTextCursor cursor = textCursor();
        insertLines(cursor, QStringLiteral("\n"));
        setTextCursor(cursor);
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    m_completer->textTyped(event->text());
}

// While an input method composes, the list stays closed (it would cover the input method's own
// candidates); what it commits opens or filters the list as typing does.
void EditorText::inputMethodEvent(QInputMethodEvent *event)
{
    QPlainTextEdit::inputMethodEvent(event);
    if (!event->preeditString().isEmpty()) {
        m_listBeforeComposing = m_listBeforeComposing || m_completer->isOpen();
        m_completer->popup()->hide();
        return;
    }
    if (std::exchange(m_listBeforeComposing, false) && !event->commitString().isEmpty())
        m_completer->openAtCaret();
    else
        m_completer->textTyped(event->commitString());
}

bool EditorText::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // The word came from the document: shown as plain text.
            QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(tip), viewport());
        }
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

QString EditorText::toolTipAt(const QPoint &point) const
{
    const int position = cursorForPosition(point).position();
    for (const auto &[marked, sentence] : m_problemTips)
        if (position >= marked.selectionStart() && position < marked.selectionEnd())
            return sentence;
    const QTextBlock block = cursorForPosition(point).block();
    const QTextLayout *layout = block.layout();
    if (!block.isValid() || !layout)
        return {};
    const QPointF inBlock = QPointF(point) - blockBoundingGeometry(block).translated(contentOffset()).topLeft();
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        if (inBlock.y() < line.y() || inBlock.y() >= line.y() + line.height())
            continue;
        if (inBlock.x() < line.x() || inBlock.x() >= line.x() + line.naturalTextWidth())
            return {};
        // The character under the pointer, not the gap between characters nearest to it.
        const int column = line.xToCursor(inBlock.x(), QTextLine::CursorOnCharacter);
        for (const QTextLayout::FormatRange &range : layout->formats())
            if (column >= range.start && column < range.start + range.length && !range.format.toolTip().isEmpty())
                return range.format.toolTip();
        return {};
    }
    return {};
}

QString EditorText::text() const
{
    // The raw text keeps what toPlainText would change (non-breaking spaces); its paragraph and
    // line separators become CR LF, but for the ends of a long line's pieces.
    const QString raw = document()->toRawText();
    QString out;
    out.reserve(raw.size() + raw.size() / 16);
    const QChar *p = raw.constData();
    const QChar *const end = p + raw.size();
    QTextBlock next = m_pieces > 0 ? document()->firstBlock().next() : QTextBlock();
    while (p < end) {
        const QChar *q = p;
        while (q < end && q->unicode() != QChar::ParagraphSeparator && q->unicode() != QChar::LineSeparator)
            ++q;
        out.append(p, q - p);
        if (q == end)
            break;
        if (m_pieces > 0 && q->unicode() == QChar::ParagraphSeparator) {
            const bool piece = continuesLine(next);
            next = next.next();
            if (!piece)
                out.append(QLatin1String("\r\n"));
        } else {
            out.append(QLatin1String("\r\n"));
        }
        p = q + 1;
    }
    return out;
}

void EditorText::setText(const QString &text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_completer->popup()->hide();
    bool longLines = false;
    for (qsizetype start = 0; start < lines.size() && !longLines;) {
        qsizetype end = lines.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = lines.size();
        longLines = end - start > DisplayLineLimit;
        start = end + 1;
    }
    {
        const QSignalBlocker blocker(this);
        m_pieces = 0;
        m_caretLine.reset();
        if (!longLines && lines.size() <= LoadPieceSize) {
            setPlainText(lines);
        } else {
            // Piece by piece, without undo steps, with the event loop going between large pieces.
            m_loading = true;
            m_abandonLoading = false;
            clear();
            document()->setUndoRedoEnabled(false);
            QTextCursor cursor(document());
            cursor.beginEditBlock();
            qsizetype sinceBreak = 0;
            // Lets the event loop turn after each large piece of text.
            const auto breathe = [&](qsizetype done) {
                sinceBreak = 0;
                cursor.endEditBlock();
                // Only the progress gets out: the text is not all there yet.
                blockSignals(false);
                emit loadProgress(int(std::min<qsizetype>(99, done * 100 / std::max<qsizetype>(1, lines.size()))));
                blockSignals(true);
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                cursor.beginEditBlock();
            };
            for (qsizetype start = 0; start < lines.size() && !m_abandonLoading;) {
                qsizetype end = lines.indexOf(QLatin1Char('\n'), start);
                const bool lastLine = end < 0;
                if (lastLine)
                    end = lines.size();
                if (end - start <= DisplayLineLimit) {
                    cursor.insertText(QStringView(lines).sliced(start, end - start).toString());
                    sinceBreak += end - start;
                } else {
                    for (qsizetype at = start; at < end && !m_abandonLoading;) {
                        qsizetype cut = std::min(end, at + DisplayLineLimit);
                        if (cut < end && lines[cut - 1].isHighSurrogate())
                            --cut; // a character is never cut in two
                        if (at > start) {
                            cursor.insertBlock(pieceFormat());
                            ++m_pieces;
                        }
                        cursor.insertText(QStringView(lines).sliced(at, cut - at).toString());
                        sinceBreak += cut - at;
                        at = cut;
                        if (sinceBreak >= LoadPieceSize)
                            breathe(at);
                    }
                }
                if (!lastLine)
                    cursor.insertBlock(QTextBlockFormat());
                start = end + 1;
                if (sinceBreak >= LoadPieceSize)
                    breathe(start);
            }
            cursor.endEditBlock();
            document()->setUndoRedoEnabled(true);
            m_loading = false;
            moveCursor(QTextCursor::Start);
        }
    }
    if (m_loading || m_pieces > 0 || lines.size() > LoadPieceSize)
        emit loadProgress(100);
    // The margin missed the line count and repaint signals the blocker held back.
    updateMargins();
    m_lineNumbers->update();
    emit textChanged();
}

void EditorText::setBackColor(std::int32_t value)
{
    m_backColor = value;
    applyColors();
}

void EditorText::setForeColor(std::int32_t value)
{
    m_foreColor = value;
    applyColors();
}

// The font the settings hold; what the widget shows is it at the zoom's size.
QFont EditorText::baseFont() const
{
    QFont f = font();
    if (m_zoomSteps != 0)
        f.setPointSizeF(m_basePointSize);
    return f;
}

void EditorText::setBaseFont(const QFont &base)
{
    m_basePointSize = base.pointSizeF();
    QFont shown = base;
    shown.setPointSizeF(std::max(1.0, m_basePointSize * std::pow(1.1, m_zoomSteps)));
    setFont(shown);
}

void EditorText::setZoomSteps(int steps)
{
    const QFont base = baseFont();
    m_zoomSteps = std::clamp(steps, -8, 16);
    setBaseFont(base);
}

void EditorText::setWrapped(bool wrapped)
{
    setLineWrapMode(wrapped ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

EditorAppearance EditorText::appearance() const
{
    const QFont f = baseFont();
    return {m_backColor, f.family(), f.pointSizeF(), f.bold(), f.italic(), m_foreColor};
}

void EditorText::applyAppearance(const SettingsFields &fields)
{
    QFont f = baseFont();
    if (fields.FaceName)
        f.setFamily(*fields.FaceName);
    if (fields.Size)
        f.setPointSizeF(*fields.Size);
    if (fields.Bold)
        f.setBold(*fields.Bold);
    if (fields.Italic)
        f.setItalic(*fields.Italic);
    setBaseFont(f);
    m_backColor = fields.BackColor.value_or(m_backColor);
    m_foreColor = fields.ForeColor.value_or(m_foreColor);
    applyColors();
}

void EditorText::askFont(DialogService &dialog, QWidget *parent)
{
    QFont f = baseFont();
    dialog.FontName = f.family();
    dialog.FontSize = f.pointSizeF();
    dialog.FontItalic = f.italic();
    dialog.FontBold = f.bold();
    dialog.Flags = 1;
    if (!dialog.ShowFont(parent))
        return;
    f.setFamily(dialog.FontName);
    f.setPointSizeF(dialog.FontSize);
    f.setItalic(dialog.FontItalic);
    f.setBold(dialog.FontBold);
    setBaseFont(f);
}

void EditorText::askBackColor(DialogService &dialog, QWidget *parent)
{
    dialog.Color = m_backColor;
    if (dialog.ShowColor(parent))
        setBackColor(dialog.Color);
}

void EditorText::askForeColor(DialogService &dialog, QWidget *parent)
{
    dialog.Color = m_foreColor;
    if (dialog.ShowColor(parent))
        setForeColor(dialog.Color);
}

void EditorText::applyColors()
{
    const QPalette system = QApplication::palette();
    QPalette p = palette();
    p.setColor(QPalette::Base, colorFromValue(m_backColor, system));
    p.setColor(QPalette::Text, colorFromValue(m_foreColor, system));
    setPalette(p);
    m_highlighter->setColors(p.color(QPalette::Base), p.color(QPalette::Text));
    m_lineNumbers->update();
}

} // namespace qrn
