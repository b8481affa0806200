#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace qrn {

namespace {
int show(QWidget *parent, QMessageBox::Icon icon, const QString &text, QMessageBox::StandardButtons buttons,
         QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, QApplication::applicationName(), text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return box.exec();
}
} // namespace

void QtMessageBoxes::information(QWidget *parent, const QString &text)
{
    show(parent, QMessageBox::NoIcon, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtMessageBoxes::askToSave(QWidget *parent, const QString &text)
{
    return show(parent, QMessageBox::Critical, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
           == QMessageBox::Yes;
}

bool QtMessageBoxes::askYesNo(QWidget *parent, const QString &text)
{
    return show(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

void QtMessageBoxes::error(QWidget *parent, const QString &text)
{
    show(parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}

} // namespace qrn
