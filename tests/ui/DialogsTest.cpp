#include "MainFormHarness.h"

#include <dialogs/Form2.h>
#include <dialogs/NewTag.h>
#include <dialogs/frmAbout.h>

#include <core/Version.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

using namespace qrn;
using namespace qrn::test;

namespace {
using Box = ScriptedMessageBoxes;

QStringList rows(const QListWidget *list)
{
    QStringList r;
    for (int i = 0; i < list->count(); ++i)
        r << list->item(i)->text();
    return r;
}

// True when the label paints anything: a label that took "<h1>" for markup paints an empty heading.
bool paintsText(QLabel *label)
{
    const QImage image = label->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != image.pixel(0, 0))
                return true;
    return false;
}

void add(NewTag &editor, const QString &html, const QString &japanese, bool command = false)
{
    editor.Text1->setText(html);
    editor.Text2->setText(japanese);
    (command ? editor.Option1_1 : editor.Option1_0)->setChecked(true);
    editor.Command2->click();
}
} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void tagEditorOpensWithTheUserDefinedEntries();
    void addButtonNeedsBothBoxes();
    void enterAddsAndEscClosesOnlyAnEmptyEditor();
    void entryLabelsShowMarkupAsText();
    void duplicateNamesAreRefused();
    void textTheDictionaryFileCannotCarryIsRefused_data();
    void textTheDictionaryFileCannotCarryIsRefused();
    void fullTableRefusesAnAdd();
    void deleteMovesTheSelectionUp();
    void clearRemovesEveryListedEntry();
    void entriesAddedHereSurviveExitAndRestart();
    void helpWindowIsOneInstanceWithMargins();
    void aboutBoxCaptionsAndSystemInformation();
    void everyManualLinkResolvesToAShippedFile();
};

void DialogsTest::tagEditorOpensWithTheUserDefinedEntries()
{
    TagTable table;
    table.AddTagEntry(u"a", u"x", 8, u"");
    table.AddTagEntry(u"b", u"y", 0, u"");
    table.AddTagEntry(u"c", u"z", 9, u"");
    table.AddTagEntry(u"d", u"w", 7, u"");
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    QCOMPARE(editor.windowTitle(), QStringLiteral("ユーザー定義タグ"));
    QCOMPARE(rows(editor.List1), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    QCOMPARE(editor.List1->currentRow(), -1);
    QVERIFY(editor.Text1->text().isEmpty() && editor.Text2->text().isEmpty());
    QVERIFY(editor.Option1_0->isChecked());
    QVERIFY(!editor.Command2->isEnabled());
    QVERIFY(editor.SinkouBar->isHidden());
    QVERIFY(editor.motoTag->text().isEmpty() && editor.sinTag->text().isEmpty());
    // Positions in twips: the list at (120, 2280), 4335 × 5100.
    QCOMPARE(editor.List1->geometry(), QRect(8, 152, 289, 340));
}


void DialogsTest::addButtonNeedsBothBoxes()
{
    TagTable table;
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    editor.Text1->setText(QStringLiteral("h1"));
    QVERIFY(!editor.Command2->isEnabled());
    editor.Text2->setText(QStringLiteral(" "));
    QVERIFY(editor.Command2->isEnabled());
    editor.Text1->clear();
    QVERIFY(!editor.Command2->isEnabled());
}

void DialogsTest::enterAddsAndEscClosesOnlyAnEmptyEditor()
{
    TagTable table;
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));

    // Enter in either box adds the pair and the window stays open for the next one.
    editor.Text1->setText(QStringLiteral("h1"));
    editor.Text2->setText(QStringLiteral("見出し"));
    QTest::keyClick(editor.Text2, Qt::Key_Return);
    QVERIFY(editor.isVisible());
    QCOMPARE(rows(editor.List1), QStringList{QStringLiteral("見出し")});
    QVERIFY(editor.Text1->text().isEmpty() && editor.Text2->text().isEmpty());

    editor.Option1_1->setChecked(true);
    editor.Text1->setText(QStringLiteral("b"));
    editor.Text2->setText(QStringLiteral("太く"));
    QTest::keyClick(editor.Text1, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(editor.isVisible());
    QCOMPARE(table[2], (TagEntry{u"太く", u"b", 9, u""}));

    // With one box empty Enter adds nothing, and Esc keeps the typed text.
    editor.Text1->setText(QStringLiteral("i"));
    QTest::keyClick(editor.Text1, Qt::Key_Return);
    QTest::keyClick(editor.Text1, Qt::Key_Escape);
    QTest::keyClick(editor.List1, Qt::Key_Escape);
    QVERIFY(editor.isVisible());
    QCOMPARE(editor.Text1->text(), QStringLiteral("i"));
    QCOMPARE(int(table.TagCount()), 2);

    editor.Text1->clear();
    QTest::keyClick(editor.Text1, Qt::Key_Escape);
    QVERIFY(!editor.isVisible());
    QVERIFY(boxes.calls.isEmpty());
}

void DialogsTest::entryLabelsShowMarkupAsText()
{
    TagTable table;
    table.AddTagEntry(u"見出し", u"h1", 8, u"");
    table.AddTagEntry(u"<em>", u"<strong>", 9, u"");
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    editor.List1->setCurrentRow(0);
    QCOMPARE(editor.motoTag->text(), QStringLiteral("<h1>"));
    QVERIFY(paintsText(editor.motoTag));
    editor.List1->setCurrentRow(1);
    QCOMPARE(editor.List1->currentItem()->text(), QStringLiteral("<em>"));
    QVERIFY(paintsText(editor.motoTag));
    QVERIFY(paintsText(editor.sinTag));
}

void DialogsTest::duplicateNamesAreRefused()
{
    TagTable table;
    table.AddTagEntry(u"色", u"color", 6, u"");
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    for (const QString &name : {QStringLiteral("ページ"), QStringLiteral("色")}) {
        boxes.expect(Box::Information);
        add(editor, QStringLiteral("x"), name);
        QCOMPARE(boxes.calls.constLast().text, QStringLiteral("このタグの名前は、仕様できません"));
        QCOMPARE(editor.Text2->text(), name);
        QCOMPARE(editor.Text1->text(), QStringLiteral("x"));
    }
    QCOMPARE(int(table.TagCount()), 1);
    QCOMPARE(editor.List1->count(), 0);
    QVERIFY(boxes.unexpected.isEmpty());
}

void DialogsTest::textTheDictionaryFileCannotCarryIsRefused_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("japanese");
    QTest::newRow("comma in name") << QStringLiteral("h1") << QStringLiteral("見,出し");
    QTest::newRow("comma in html") << QStringLiteral("h,1") << QStringLiteral("見出し");
    QTest::newRow("line break") << QStringLiteral("h1") << QStringLiteral("見\n出し");
    QTest::newRow("carriage return") << QStringLiteral("h1\r") << QStringLiteral("見出し");
    QTest::newRow("leading blank") << QStringLiteral(" h1") << QStringLiteral("見出し");
    QTest::newRow("leading tab") << QStringLiteral("h1") << QStringLiteral("\t見出し");
    QTest::newRow("leading quote") << QStringLiteral("h1") << QStringLiteral("\"見出し");
    QTest::newRow("end marker") << QStringLiteral("h1") << QStringLiteral("EndTagCom");
    QTest::newRow("emoji") << QStringLiteral("h1") << QStringLiteral("見出し😀");
    QTest::newRow("euro in html") << QStringLiteral("€") << QStringLiteral("見出し");
}

void DialogsTest::textTheDictionaryFileCannotCarryIsRefused()
{
    QFETCH(QString, html);
    QFETCH(QString, japanese);
    TagTable table;
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    boxes.expect(Box::Information);
    add(editor, html, japanese);
    QVERIFY(boxes.unexpected.isEmpty());
    QVERIFY(boxes.allAnswered());
    QCOMPARE(int(table.TagCount()), 0);
    QCOMPARE(editor.List1->count(), 0);
    QCOMPARE(editor.Text2->text(), japanese);
}

void DialogsTest::fullTableRefusesAnAdd()
{
    TagTable table;
    while (table.TagCount() < TagTable::MaxTagCount)
        table.AddTagEntry(u"w", u"h", 5, u"");
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    boxes.expect(Box::Information);
    add(editor, QStringLiteral("h1"), QStringLiteral("見出し"));
    QVERIFY(boxes.allAnswered() && boxes.unexpected.isEmpty());
    QCOMPARE(int(table.TagCount()), int(TagTable::MaxTagCount));
    QCOMPARE(editor.List1->count(), 0);
}

void DialogsTest::deleteMovesTheSelectionUp()
{
    TagTable table;
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    add(editor, QStringLiteral("h1"), QStringLiteral("一"));
    add(editor, QStringLiteral("b"), QStringLiteral("二"), true);
    add(editor, QStringLiteral("h3"), QStringLiteral("三"));
    add(editor, QStringLiteral("h4"), QStringLiteral("四"));
    add(editor, QStringLiteral("h5"), QStringLiteral("五"));

    editor.Command3->click(); // nothing selected: nothing happens
    QCOMPARE(editor.List1->count(), 5);

    editor.List1->setCurrentRow(2);
    QCOMPARE(editor.motoTag->text(), QStringLiteral("<h3>"));
    QCOMPARE(editor.sinTag->text(), QStringLiteral("＜三＞"));
    editor.Command3->click();
    QCOMPARE(rows(editor.List1), (QStringList{QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("四"), QStringLiteral("五")}));
    QCOMPARE(editor.List1->currentRow(), 1);
    QCOMPARE(editor.motoTag->text(), QStringLiteral("b"));
    QCOMPARE(editor.sinTag->text(), QStringLiteral("二"));
    QCOMPARE(table.findJapaneseName(u"三"), -1);
    QCOMPARE(int(table.TagCount()), 4);

    editor.List1->setCurrentRow(0);
    editor.Command3->click();
    QCOMPARE(editor.List1->currentRow(), -1);
    QCOMPARE(editor.sinTag->text(), QStringLiteral("＜一＞")); // no row selected: the labels keep their text
    QCOMPARE(int(table.TagCount()), 3);

    // A row whose entry is already gone is still removed.
    QVERIFY(table.DeleteTagEntry(u"四"));
    editor.List1->setCurrentRow(1);
    editor.Command3->click();
    QCOMPARE(rows(editor.List1), (QStringList{QStringLiteral("二"), QStringLiteral("五")}));
    QCOMPARE(int(table.TagCount()), 2);
}

void DialogsTest::clearRemovesEveryListedEntry()
{
    TagTable table;
    table.AddTagEntry(u"残る", u"keep", 0, u"");
    for (int i = 0; i < 10; ++i)
        table.AddTagEntry(QStringLiteral("語%1").arg(i).toStdU16String(), u"x", i % 2 ? 8 : 9, u"");
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    QCOMPARE(editor.List1->count(), 10);
    editor.Command4->click();
    QCOMPARE(editor.List1->count(), 0);
    QCOMPARE(int(table.TagCount()), 1);
    QCOMPARE(editor.SinkouBar->value(), 9);
    QCOMPARE(editor.SinkouBar->maximum(), 9);
    QVERIFY(editor.SinkouBar->isHidden());

    // One row: a maximum below 1 is not applied.
    table.AddTagEntry(u"一つ", u"x", 8, u"");
    NewTag again(table, boxes);
    again.SinkouBar->setMaximum(5);
    again.Command4->click();
    QCOMPARE(again.SinkouBar->maximum(), 5);
    QCOMPARE(int(table.TagCount()), 1);
}

void DialogsTest::entriesAddedHereSurviveExitAndRestart()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    {
        NewTag editor(h.henkan.tagTable(), h.boxes);
        add(editor, QStringLiteral("h1"), QStringLiteral("大見出し"));
        add(editor, QStringLiteral("tmp"), QStringLiteral("一時"), true);
        editor.List1->setCurrentRow(1);
        editor.Command3->click();
    }
    // Conversion uses the entry at once; the palette shows it after its next refresh.
    h.form->MainText->setText(QStringLiteral("＜大見出し＞"));
    QCOMPARE(readAllBytes(h.scratch()), QByteArray("<h1>\r\n"));
    h.selectCategory(QStringLiteral("ユーザー定義"));
    QCOMPARE(h.paletteRows(), QStringList{QStringLiteral("大見出し")});
    h.form->Naiyou->setCurrentRow(0);
    QCOMPARE(h.form->StaDescription->text(), QStringLiteral("＜大見出し＞ | ユーザー定義タグ | <h1>"));

    h.boxes.expect(Box::AskToSave, false);
    QVERIFY(h.form->close());
    const QString file = ShiftJisCodec::decode(readAllBytes(h.path(QStringLiteral("KirikoDate.dat"))));
    QVERIFY(file.endsWith(QStringLiteral(",大見出し,h1,8,＜大見出し＞ | ユーザー定義タグ | <h1>,EndTagCom\r\n")));
    QVERIFY(!file.contains(QStringLiteral("一時")));

    h.create();
    QVERIFY(h.form->Form_Load());
    NewTag reopened(h.henkan.tagTable(), h.boxes);
    QCOMPARE(rows(reopened.List1), QStringList{QStringLiteral("大見出し")});
}

void DialogsTest::helpWindowIsOneInstanceWithMargins()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->mmnyHelp->trigger();
    QPointer<Form2> help = h.form->helpWindow();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->windowTitle(), QStringLiteral("QRNマニュアル"));
    auto *pane = static_cast<FakePreview *>(help->HelpBrw);
    QCOMPARE(pane->navigations, QStringList{h.dir.path() + QDir::separator() + QStringLiteral("Help") + QDir::separator() + QStringLiteral("Index.html")});
    h.form->mmnyHelp->trigger();
    QCOMPARE(h.form->helpWindow(), help.data());
    QCOMPARE(pane->navigations.size(), 1); // keeps its page

    help->resize(500, 400);
    const QRect fitted = help->HelpBrw->widget()->geometry();
    QCOMPARE(fitted.topLeft(), QPoint(8, 8));
    help->resize(300, 30);
    QCOMPARE(help->HelpBrw->widget()->height(), fitted.height());
    QVERIFY(help->HelpBrw->widget()->width() < fitted.width());

    help->close();
    QTRY_VERIFY(!help);
    h.form->mmnyHelp->trigger();
    QVERIFY(h.form->helpWindow());
    h.form->helpWindow()->close();
}

void DialogsTest::aboutBoxCaptionsAndSystemInformation()
{
    const QString name = QString::fromUtf8(AppName);
    QApplication::setApplicationName(name);
    ScriptedMessageBoxes boxes;
    frmAbout about(boxes);
    QCOMPARE(about.windowTitle(), name + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(about.lblTitle->text(), name);
    QCOMPARE(about.lblVersion->text(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QString::fromUtf8(VersionText));
    QVERIFY(about.cmdOK->isDefault());

    boxes.expect(Box::Information);
    about.cmdSysInfo->click();
    QCOMPARE(boxes.calls.value(0).text, QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません"));

    for (const int key : {int(Qt::Key_Escape), int(Qt::Key_Return)}) {
        frmAbout box(boxes);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, Qt::Key(key));
        QVERIFY(!box.isVisible());
    }
    QVERIFY(boxes.unexpected.isEmpty());
}

void DialogsTest::everyManualLinkResolvesToAShippedFile()
{
    const QDir help(QStringLiteral(QRN_DATA_DIR "/Help"));
    QVERIFY(help.exists(QStringLiteral("Index.html")));
    static const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"#]+)"));
    int links = 0;
    for (const QString &page : help.entryList({QStringLiteral("*.html")})) {
        const QString text = QString::fromUtf8(readAllBytes(help.filePath(page)));
        QVERIFY2(text.contains(QStringLiteral("charset=\"utf-8\"")), qPrintable(page));
        for (auto m = link.globalMatch(text); m.hasNext();) {
            const QString target = m.next().captured(1);
            ++links;
            QVERIFY2(!target.contains(QLatin1Char(':')), qPrintable(page + QStringLiteral(": ") + target));
            QVERIFY2(help.exists(target), qPrintable(page + QStringLiteral(" links to missing ") + target));
        }
        // Every page but the index is reached from the index.
        if (page != QLatin1String("Index.html"))
            QVERIFY2(QString::fromUtf8(readAllBytes(help.filePath(QStringLiteral("Index.html")))).contains(QStringLiteral("href=\"") + page + QLatin1Char('"')),
                     qPrintable(page));
    }
    QVERIFY(links > 20);
    // Each feature beyond the menus has its page.
    for (const char *page : {"keys.html", "find.html", "completion.html", "follow.html", "recovery.html", "encodings.html",
                             "recent.html", "dragdrop.html", "zoom.html", "check.html"})
        QVERIFY2(help.exists(QLatin1String(page)), page);
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
