#include "ModalWindows.h"

#include "NewTag.h"
#include "frmAbout.h"

namespace qrn {

void QtModalWindows::runTagEditor(QWidget *parent, TagTable &table)
{
    NewTag editor(table, m_messages, parent);
    editor.exec();
}

void QtModalWindows::runAbout(QWidget *parent)
{
    frmAbout about(m_messages, parent);
    about.exec();
}

} // namespace qrn
