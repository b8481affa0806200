#include "LineNumberArea.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextBlock>

namespace qrn {

namespace {
constexpr int PaddingLeft = 4;
constexpr int PaddingRight = 6;
} // namespace

LineNumberArea::LineNumberArea(QPlainTextEdit &editor, NumbersInView numbersInView)
    : QWidget(&editor), m_editor(editor), m_numbersInView(std::move(numbersInView))
{
    setObjectName(QStringLiteral("lineNumbers"));
}

int LineNumberArea::preferredWidth() const
{
    int digits = 1;
    for (int count = std::max(1, m_editor.blockCount()); count >= 10; count /= 10)
        ++digits;
    return PaddingLeft + PaddingRight
           + QFontMetrics(m_editor.font()).horizontalAdvance(QLatin1Char('9')) * std::max(2, digits);
}

void LineNumberArea::paintEvent(QPaintEvent *event)
{
    const QPalette colors = m_editor.palette();
    const QColor text = colors.color(QPalette::Text);
    const QColor background = colors.color(QPalette::Base);
    const QColor quiet = QColor::fromRgbF((text.redF() + background.redF()) / 2, (text.greenF() + background.greenF()) / 2,
                                          (text.blueF() + background.blueF()) / 2);
    QPainter painter(this);
    painter.fillRect(event->rect(), background);
    painter.setFont(m_editor.font());
    const int lineHeight = QFontMetrics(m_editor.font()).height();
    for (const Number &n : numbers()) {
        if (n.top > event->rect().bottom() || n.top + n.height < event->rect().top())
            continue;
        painter.setPen(n.caret ? text : quiet);
        painter.drawText(QRect(0, n.top, width() - PaddingRight, lineHeight), Qt::AlignRight | Qt::AlignTop,
                         QString::number(n.line));
    }
}

} // namespace qrn
