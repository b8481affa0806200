#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace qrn {

// The HTML source window: a snapshot of the converted page as text, reused while it is open.
class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1();

    QPlainTextEdit *Text1;

    void Form_Resize();

protected:
    void resizeEvent(QResizeEvent *event) override;
};

} // namespace qrn
