#include "MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace qrn {

namespace {
int show(QWidget *parent, QMessageBox::Icon icon, const QString &text, QMessageBox::StandardButtons buttons,
         QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(icon, QApplication::applicationName(), text, buttons, parent);
    // Messages carry file names and dictionary words: "<h1>" is text to show, not markup.
    box.setTextFormat(Qt::PlainText);
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

int QtMessageBoxes::askChoice(QWidget *parent, const QString &text, const QStringList &buttons, int defaultButton)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text, QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    // One role for every answer keeps them in the caller's order.
    QList<QAbstractButton *> answers;
    for (const QString &caption : buttons)
        answers << box.addButton(caption, QMessageBox::AcceptRole);
    if (defaultButton >= 0 && defaultButton < answers.size())
        box.setDefaultButton(static_cast<QPushButton *>(answers[defaultButton]));
    // The last answer is the one that changes nothing: Esc chooses it.
    if (!answers.isEmpty())
        box.setEscapeButton(answers.last());
    box.exec();
    return int(answers.indexOf(box.clickedButton()));
}

} // namespace qrn
