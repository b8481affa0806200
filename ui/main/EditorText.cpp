#include "EditorText.h"

#include "ColorValue.h"

#include <DialogService.h>

#include <QApplication>
#include <QTextDocument>

namespace qrn {

EditorText::EditorText(QWidget *parent)
    : QPlainTextEdit(parent), m_backColor(SystemColorWindow), m_foreColor(SystemColorWindowText)
{
    setLineWrapMode(QPlainTextEdit::NoWrap);
    applyColors();
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
    {
        const QSignalBlocker blocker(this);
        setPlainText(lines);
    }
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
}

} // namespace qrn
