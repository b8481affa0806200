#include "NewTag.h"

#include "TwipGeometry.h"

#include "MessageBoxes.h"
#include <core/TagFileFormat.h>
#include <core/TagTable.h>
#include <storage/ShiftJisCodec.h>
#include <storage/TextCodec.h>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace qrn {

namespace {
QString quoted(const QString &s) { return QStringLiteral("「") + s + QStringLiteral("」"); }

QString whyNotStorableField(const QString &value, const QString &boxName, bool opensRecord)
{
    switch (TagFileFieldProblem(toU16View(value), opensRecord)) {
    case TagFieldProblem::Comma:
        return boxName + QStringLiteral("に「,」（半角のカンマ）は使えません。");
    case TagFieldProblem::LineEnd:
        return boxName + QStringLiteral("に改行は使えません。");
    case TagFieldProblem::LeadingBlank:
        return boxName + QStringLiteral("の先頭に空白は使えません。");
    case TagFieldProblem::LeadingQuote:
        return boxName + QStringLiteral("の先頭に「\"」は使えません。");
    case TagFieldProblem::EndMarker:
        return QStringLiteral("「EndTagCom」は辞書ファイルの終わりの印なので、タグの名前に使えません。");
    case TagFieldProblem::None:
        break;
    }
    for (qsizetype i = 0; i < value.size(); ++i) {
        const qsizetype len = value[i].isHighSurrogate() && i + 1 < value.size() ? 2 : 1;
        const QString ch = value.mid(i, len);
        if (!ShiftJisCodec::canEncode(ch))
            return boxName + QStringLiteral("の文字") + quoted(ch) + QStringLiteral("は辞書ファイルに保存できません。");
        i += len - 1;
    }
    return {};
}
} // namespace

QString NewTag::whyNotStorable(const QString &japaneseName, const QString &htmlName)
{
    // The generated description holds nothing but the two names and fixed text, so the names decide.
    QString why = whyNotStorableField(htmlName, QStringLiteral("元のタグ"), false);
    if (why.isEmpty())
        why = whyNotStorableField(japaneseName, QStringLiteral("新タグ"), true);
    return why;
}

NewTag::NewTag(TagTable &table, MessageBoxes &messages, QWidget *parent)
    : QDialog(parent), m_table(table), m_messages(messages)
{
    setWindowTitle(QStringLiteral("ユーザー定義タグ"));
    setModal(true);
    setFixedSize(twipsX(this, 6360), twipsY(this, 7500));

    Label1 = new QLabel(QStringLiteral("元のタグ"), this);
    Text1 = new QLineEdit(this);
    Label2 = new QLabel(QStringLiteral("新タグ"), this);
    Text2 = new QLineEdit(this);
    Command2 = new QPushButton(QStringLiteral("↓"), this);
    Option1_0 = new QRadioButton(QStringLiteral("HTMLタグ"), this);
    Option1_1 = new QRadioButton(QStringLiteral("コマンド"), this);
    List1 = new QListWidget(this);
    Label3_0 = new QLabel(QStringLiteral("元タグ："), this);
    motoTag = new QLabel(this);
    Label3_1 = new QLabel(QStringLiteral("新タグ："), this);
    sinTag = new QLabel(this);
    Command3 = new QPushButton(QStringLiteral("削除"), this);
    Command4 = new QPushButton(QStringLiteral("クリア"), this);
    SinkouBar = new QProgressBar(this);
    Command1 = new QPushButton(QStringLiteral("OK"), this);

    placeTwips(Label1, 120, 120, 3615, 255);
    placeTwips(Text1, 120, 480, 6015, 270);
    placeTwips(Label2, 120, 840, 3615, 255);
    placeTwips(Text2, 120, 1200, 6015, 270);
    placeTwips(Command2, 120, 1560, 1095, 615);
    placeTwips(Option1_0, 1320, 1560, 1695, 255);
    placeTwips(Option1_1, 1320, 1920, 1695, 255);
    placeTwips(List1, 120, 2280, 4335, 5100);
    placeTwips(Label3_0, 4560, 2400, 1575, 255);
    placeTwips(motoTag, 4680, 2760, 1575, 255);
    placeTwips(Label3_1, 4560, 3120, 1575, 255);
    placeTwips(sinTag, 4680, 3480, 1575, 615);
    placeTwips(Command3, 4560, 4320, 1215, 375);
    placeTwips(Command4, 4560, 4800, 1215, 375);
    placeTwips(SinkouBar, 4560, 5280, 1695, 255);
    placeTwips(Command1, 4560, 6600, 1695, 735);
    // Dictionary text: "<h1>" is a name to show, not markup.
    motoTag->setTextFormat(Qt::PlainText);
    sinTag->setTextFormat(Qt::PlainText);
    sinTag->setWordWrap(true);
    sinTag->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SinkouBar->setTextVisible(false);
    Command2->setAutoDefault(false);
    Command3->setAutoDefault(false);
    Command4->setAutoDefault(false);

    connect(Text1, &QLineEdit::textChanged, this, &NewTag::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &NewTag::Text2_Change);
    connect(Command2, &QPushButton::clicked, this, &NewTag::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &NewTag::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &NewTag::Command4_Click);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
    connect(List1, &QListWidget::currentRowChanged, this, &NewTag::List1_Click);
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);

    Form_Load();
}

bool NewTag::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in either box runs the add command instead of reaching the dialog's default button.
    if ((watched == Text1 || watched == Text2) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (Command2->isEnabled())
                Command2_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void NewTag::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel) && !(Text1->text().isEmpty() && Text2->text().isEmpty())) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void NewTag::Form_Load()
{
    for (int i = 0; i <= m_table.TagCount(); ++i)
        if (m_table[i].Category == 8 || m_table[i].Category == 9)
            List1->addItem(fromU16(m_table[i].JapaneseName));
    List1->setCurrentRow(-1);
    Option1_0->setChecked(true);
    Command2->setEnabled(false);
    SinkouBar->hide();
}

void NewTag::Text1_Change()
{
    Command2->setEnabled(!Text1->text().isEmpty() && !Text2->text().isEmpty());
}

void NewTag::Text2_Change()
{
    Text1_Change();
}

void NewTag::Command2_Click()
{
    const QString n = Text2->text();
    const QString h = Text1->text();
    if (m_table.findJapaneseName(toU16View(n)) >= 0) {
        m_messages.information(this, QStringLiteral("このタグの名前は、仕様できません"));
        return;
    }
    // What the dictionary file could not carry back is refused here, before it reaches the table.
    if (const QString why = whyNotStorable(n, h); !why.isEmpty()) {
        m_messages.information(this, why);
        return;
    }
    const bool htmlTag = Option1_0->isChecked();
    const QString description =
        htmlTag ? QStringLiteral("＜") + n + QStringLiteral("＞ | ユーザー定義タグ | <") + h + QStringLiteral(">")
                : QString();
    if (!m_table.AddTagEntry(n.toStdU16String(), h.toStdU16String(), htmlTag ? 8 : 9, description.toStdU16String())) {
        m_messages.information(this, QStringLiteral("辞書がいっぱいのため、これ以上タグを追加できません。"));
        return;
    }
    List1->addItem(n);
    Text1->clear();
    Text2->clear();
}

void NewTag::List1_Click()
{
    const QListWidgetItem *row = List1->currentItem();
    if (!row)
        return;
    const std::u16string_view name = toU16View(row->text());
    // Every entry with the name is visited: the one with the highest index decides.
    for (int i = m_table.TagCount(); i >= 0; --i) {
        const TagEntry &e = m_table[i];
        if (e.JapaneseName != name)
            continue;
        if (e.Category == 8) {
            motoTag->setText(QStringLiteral("<") + fromU16(e.HtmlName) + QStringLiteral(">"));
            sinTag->setText(QStringLiteral("＜") + fromU16(e.JapaneseName) + QStringLiteral("＞"));
            return;
        }
        if (e.Category == 9) {
            motoTag->setText(fromU16(e.HtmlName));
            sinTag->setText(fromU16(e.JapaneseName));
            return;
        }
    }
}

void NewTag::Command3_Click()
{
    const int row = List1->currentRow();
    if (row < 0)
        return;
    m_table.DeleteTagEntry(toU16View(List1->item(row)->text())); // not found: the row still goes
    List1->setCurrentRow(row - 1);
    delete List1->takeItem(row);
}

void NewTag::Command4_Click()
{
    SinkouBar->show();
    const int rows = List1->count();
    if (rows - 1 >= 1)
        SinkouBar->setMaximum(rows - 1);
    SinkouBar->setMinimum(0);
    for (int k = 0; k < rows; ++k) {
        m_table.DeleteTagEntry(toU16View(List1->item(0)->text()));
        delete List1->takeItem(0);
        SinkouBar->setValue(k);
    }
    SinkouBar->hide();
}

} // namespace qrn
