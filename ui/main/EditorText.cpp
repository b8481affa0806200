#include "EditorText.h"

#include "ColorValue.h"

#include <DialogService.h>
#include <editor/FindBar.h>
#include <editor/LineNumberArea.h>
#include <editor/TagCompleter.h>
#include <editor/TagHighlighter.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QToolTip>

namespace qrn {

EditorText::EditorText(QWidget *parent)
    : QPlainTextEdit(parent), m_backColor(SystemColorWindow), m_foreColor(SystemColorWindowText)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    m_highlighter = new TagHighlighter(document());
    m_completer = new TagCompleter(*this, *m_highlighter);
    m_findBar = new FindBar(*this);
    m_lineNumbers = new LineNumberArea(*this, [this] {
        QList<LineNumberArea::Number> numbers;
        const qreal bottom = viewport()->height();
        QTextBlock block = firstVisibleBlock();
        qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
        while (block.isValid() && top <= bottom) {
            const qreal height = blockBoundingRect(block).height();
            if (block.isVisible())
                numbers.append({block.blockNumber() + 1, qRound(top), qRound(height)});
            top += height;
            block = block.next();
        }
        return numbers;
    });
    connect(m_findBar, &FindBar::layoutChanged, this, &EditorText::updateMargins);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &EditorText::updateMargins);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy)
            m_lineNumbers->scroll(0, dy);
        else
            m_lineNumbers->update(0, rect.y(), m_lineNumbers->width(), rect.height());
    });
    // The caret's line number stands out.
    connect(this, &QPlainTextEdit::cursorPositionChanged, m_lineNumbers, qOverload<>(&QWidget::update));
    applyColors();
    updateMargins();
}

void EditorText::setTagTable(const TagTable *table)
{
    m_completer->setTagTable(table);
    m_highlighter->setTagTable(table);
}

void EditorText::rehighlightAll()
{
    m_completer->rebuildLater();
    m_highlighter->rehighlightAll();
}

void EditorText::updateMargins()
{
    const int left = m_lineNumbers->preferredWidth();
    const int bottom = !m_findBar->isHidden() ? m_findBar->sizeHint().height() : 0;
    setViewportMargins(left, 0, 0, bottom);
    const QRect text = viewport()->geometry();
    m_lineNumbers->setGeometry(text.left() - left, text.top(), left, text.height());
    m_findBar->setGeometry(text.left() - left, text.bottom() + 1, text.width() + left, bottom);
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
    if (key == Qt::Key_Escape && modifiers == Qt::NoModifier && !m_findBar->isHidden()) {
        m_findBar->closeBar();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    m_completer->textTyped(event->text());
}

void EditorText::inputMethodEvent(QInputMethodEvent *event)
{
    QPlainTextEdit::inputMethodEvent(event);
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
    // line separators become CR LF.
    QString raw = document()->toRawText();
    QString out;
    out.reserve(raw.size() + raw.size() / 16);
    const QChar *p = raw.constData();
    const QChar *const end = p + raw.size();
    while (p < end) {
        const QChar *q = p;
        while (q < end && q->unicode() != QChar::ParagraphSeparator && q->unicode() != QChar::LineSeparator)
            ++q;
        out.append(p, q - p);
        if (q == end)
            break;
        out.append(QLatin1String("\r\n"));
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
    {
        const QSignalBlocker blocker(this);
        setPlainText(lines);
    }
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

EditorAppearance EditorText::appearance() const
{
    const QFont f = font();
    return {m_backColor, f.family(), f.pointSizeF(), f.bold(), f.italic(), m_foreColor};
}

void EditorText::applyAppearance(const SettingsFields &fields)
{
    QFont f = font();
    if (fields.FaceName)
        f.setFamily(*fields.FaceName);
    if (fields.Size)
        f.setPointSizeF(*fields.Size);
    if (fields.Bold)
        f.setBold(*fields.Bold);
    if (fields.Italic)
        f.setItalic(*fields.Italic);
    setFont(f);
    m_backColor = fields.BackColor.value_or(m_backColor);
    m_foreColor = fields.ForeColor.value_or(m_foreColor);
    applyColors();
}

void EditorText::askFont(DialogService &dialog, QWidget *parent)
{
    QFont f = font();
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
    setFont(f);
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
