#include "SplitterBar.h"

#include <QMouseEvent>

namespace qrn {

int buttonBits(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0)
           | (buttons & Qt::MiddleButton ? 4 : 0);
}

int shiftBits(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0)
           | (modifiers & Qt::AltModifier ? 4 : 0);
}

SplitterBar::SplitterBar(Qt::Orientation orientation, QWidget *parent) : QLabel(parent)
{
    setCursor(orientation == Qt::Horizontal ? Qt::SizeVerCursor : Qt::SizeHorCursor);
    setAutoFillBackground(false);
}

float SplitterBar::toTwipsX(qreal px) const
{
    return static_cast<float>(px * 1440.0 / logicalDpiX());
}

float SplitterBar::toTwipsY(qreal px) const
{
    return static_cast<float>(px * 1440.0 / logicalDpiY());
}

void SplitterBar::mousePressEvent(QMouseEvent *event)
{
    emit mouseDown(buttonBits(event->button()), shiftBits(event->modifiers()), toTwipsX(event->position().x()),
                   toTwipsY(event->position().y()));
}

void SplitterBar::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMove(buttonBits(event->buttons()), shiftBits(event->modifiers()), toTwipsX(event->position().x()),
                   toTwipsY(event->position().y()));
}

} // namespace qrn
