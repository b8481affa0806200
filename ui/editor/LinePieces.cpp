#include "LinePieces.h"

#include <QTextCursor>

namespace qrn {

namespace {
constexpr int PieceProperty = QTextFormat::UserProperty + 1;
} // namespace

bool continuesLine(const QTextBlock &block)
{
    return block.blockFormat().boolProperty(PieceProperty);
}

QTextBlockFormat pieceFormat()
{
    QTextBlockFormat format;
    format.setProperty(PieceProperty, true);
    return format;
}

void insertLines(QTextCursor &cursor, const QString &text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))
        && !text.contains(QChar(QChar::ParagraphSeparator))) {
        cursor.insertText(text);
        return;
    }
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const QStringList parts = lines.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            cursor.insertBlock(QTextBlockFormat());
        cursor.insertText(parts[i]);
    }
    cursor.endEditBlock();
}

} // namespace qrn
