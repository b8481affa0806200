#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace qrn {

class MessageBoxes;
class TagTable;

// The user-defined tag editor: adds entries of category 8 (HTML tag) or 9 (command) to the
// dictionary and deletes them again. Changes count for conversion at once; the palette shows
// them at its next refresh; the file receives them at exit. Enter in a text box adds, and Esc
// closes the window only while both boxes are empty, so no key loses typed names.
class NewTag : public QDialog {
    Q_OBJECT
public:
    NewTag(TagTable &table, MessageBoxes &messages, QWidget *parent = nullptr);

    QLabel *Label1, *Label2, *Label3_0, *Label3_1;
    QLineEdit *Text1; // the HTML name
    QLineEdit *Text2; // the Japanese name
    QPushButton *Command1, *Command2, *Command3, *Command4;
    QRadioButton *Option1_0, *Option1_1;
    QListWidget *List1;
    QLabel *motoTag, *sinTag;
    QProgressBar *SinkouBar;

    void Form_Load();
    void Text1_Change();
    void Text2_Change();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void List1_Click();

    // Why the dictionary file could not carry this name pair, or empty text when it can.
    static QString whyNotStorable(const QString &japaneseName, const QString &htmlName);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    TagTable &m_table;
    MessageBoxes &m_messages;
};

} // namespace qrn
