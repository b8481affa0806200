#pragma once

#include <QLabel>

namespace qrn {

// A splitter bar: a plain label that reports mouse presses and moves with the position in twips
// relative to itself. While a button is held after a press, moves keep coming even outside it.
class SplitterBar : public QLabel {
    Q_OBJECT
public:
    explicit SplitterBar(Qt::Orientation orientation, QWidget *parent);

signals:
    // button: 1 left, 2 right, 4 middle; buttons: the same bits for every button held.
    void mouseDown(int button, int shift, float x, float y);
    void mouseMove(int buttons, int shift, float x, float y);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    float toTwipsX(qreal px) const;
    float toTwipsY(qreal px) const;
};

// Qt's buttons as 1 (left), 2 (right), 4 (middle) bits.
int buttonBits(Qt::MouseButtons buttons);
int shiftBits(Qt::KeyboardModifiers modifiers);

} // namespace qrn
