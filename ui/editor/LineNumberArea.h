#pragma once

#include <QList>
#include <QWidget>

#include <functional>

class QPlainTextEdit;

namespace qrn {

// The line numbers in a narrow margin at the left of the editor, in its font and colours; the
// number of the caret's line in the full text colour, the others quieter.
class LineNumberArea : public QWidget {
    Q_OBJECT
public:
    struct Number {
        int line; // counted from 1
        int top;  // where the line's text stands, in the editor's viewport
        int height;
        bool caret; // the caret's line
    };
    using NumbersInView = std::function<QList<Number>()>;

    // `numbersInView` says where the lines in view stand: only the editor knows its layout.
    LineNumberArea(QPlainTextEdit &editor, NumbersInView numbersInView);

    // Wide enough for the highest line number, two digits at least.
    int preferredWidth() const;
    // What a repaint draws.
    QList<Number> numbers() const { return m_numbersInView(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPlainTextEdit &m_editor;
    NumbersInView m_numbersInView;
};

} // namespace qrn
