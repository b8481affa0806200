#include "EditorText.h"

#include "ColorValue.h"

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

void EditorText::applyColors()
{
    const QPalette system = QApplication::palette();
    QPalette p = palette();
    p.setColor(QPalette::Base, colorFromValue(m_backColor, system));
    p.setColor(QPalette::Text, colorFromValue(m_foreColor, system));
    setPalette(p);
}

} // namespace qrn
