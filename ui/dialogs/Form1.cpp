#include "Form1.h"

#include "TwipGeometry.h"

#include <QPlainTextEdit>

namespace qrn {

Form1::Form1() : Text1(new QPlainTextEdit(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    Text1->setReadOnly(true); // a snapshot: it is never read back
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    resize(twipsX(this, 8000), twipsY(this, 6000));
    Form_Resize();
}

void Form1::Form_Resize()
{
    fitToWindowMargins(this, Text1);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

} // namespace qrn
