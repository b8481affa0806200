#include "MainFormHarness.h"

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
    void tagEditorListsTheUserEntriesAndAddsOnEnter();
    void deleteMovesTheSelectionUpAndClearEmptiesTheList();
    void refusedAddsChangeNothing_data();
    void refusedAddsChangeNothing();
    void entriesAddedHereSurviveExitAndRestart();
    void aboutBoxCaptionsAndSystemInformation();
    void everyManualLinkResolvesToAShippedFile();
};

void DialogsTest::tagEditorListsTheUserEntriesAndAddsOnEnter()
{
    TagTable table;
    for (const auto &[name, category] : {std::pair(u"a", 8), std::pair(u"b", 0), std::pair(u"c", 9), std::pair(u"d", 7)})
        table.AddTagEntry(name, u"x", std::int16_t(category), u""); // listed: 8 and 9 only
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    QCOMPARE(editor.windowTitle(), QStringLiteral("ユーザー定義タグ"));
    QCOMPARE(rowsOf(editor.List1), (QStringList{QStringLiteral("a"), QStringLiteral("c")}));
    QVERIFY(editor.List1->currentRow() == -1 && editor.Option1_0->isChecked() && editor.SinkouBar->isHidden());
    QCOMPARE(editor.Text1->text() + editor.Text2->text() + editor.motoTag->text() + editor.sinTag->text(), QString());
    // Positions in twips: the list at (120, 2280), 4335 × 5100.
    QCOMPARE(editor.List1->geometry(), QRect(8, 152, 289, 340));

    // The add button needs text in both boxes; a blank is text.
    const auto fill = [&](const QString &a, const QString &b) { editor.Text1->setText(a); editor.Text2->setText(b); return editor.Command2->isEnabled(); };
    QCOMPARE((QList<bool>{editor.Command2->isEnabled(), fill(QStringLiteral("h1"), {}), fill(QStringLiteral("h1"), QStringLiteral(" ")),
                          fill({}, QStringLiteral(" "))}), (QList<bool>{false, false, true, false}));

    // Enter in either box adds the pair and the window stays open for the next one.
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    fill(QStringLiteral("h1"), QStringLiteral("見出し"));
    QTest::keyClick(editor.Text2, Qt::Key_Return);
    QVERIFY(editor.isVisible());
    QCOMPARE(rowsOf(editor.List1), (QStringList{QStringLiteral("a"), QStringLiteral("c"), QStringLiteral("見出し")}));
    QVERIFY(editor.Text1->text().isEmpty() && editor.Text2->text().isEmpty());
    editor.Option1_1->setChecked(true);
    fill(QStringLiteral("b"), QStringLiteral("太く"));
    QTest::keyClick(editor.Text1, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(editor.isVisible());
    QCOMPARE(table[table.TagCount()], (TagEntry{u"太く", u"b", 9, u""}));

    // With one box empty Enter adds nothing, and Esc keeps the typed text.
    editor.Text1->setText(QStringLiteral("i"));
    QTest::keyClick(editor.Text1, Qt::Key_Return);
    QTest::keyClick(editor.Text1, Qt::Key_Escape);
    QTest::keyClick(editor.List1, Qt::Key_Escape);
    QVERIFY(editor.isVisible());
    QCOMPARE(editor.Text1->text(), QStringLiteral("i"));
    QCOMPARE(int(table.TagCount()), 6);
    editor.Text1->clear();
    QTest::keyClick(editor.Text1, Qt::Key_Escape);
    QVERIFY(!editor.isVisible());
    QVERIFY(boxes.calls.isEmpty());
}

void DialogsTest::deleteMovesTheSelectionUpAndClearEmptiesTheList()
{
    TagTable table;
    table.AddTagEntry(u"残る", u"keep", 0, u""); // not listed, so neither deleted
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    const QStringList names{QStringLiteral("一"), QStringLiteral("<em>"), QStringLiteral("三"), QStringLiteral("四"), QStringLiteral("五")};
    for (int i = 0; i < 5; ++i) // the second a command
        add(editor, i == 1 ? QStringLiteral("<strong>") : QStringLiteral("h%1").arg(i + 1), names[i], i == 1);

    editor.Command3->click(); // nothing selected: nothing happens
    QCOMPARE(editor.List1->count(), 5);

    // The labels show the names as text: "<h3>" paints, where markup would be an empty heading.
    const auto labels = [&] { return QStringList{editor.motoTag->text(), editor.sinTag->text()}; };
    editor.List1->setCurrentRow(2);
    QCOMPARE(labels(), (QStringList{QStringLiteral("<h3>"), QStringLiteral("＜三＞")}));
    QVERIFY(paintsText(editor.motoTag));
    editor.Command3->click();
    QCOMPARE(rowsOf(editor.List1), (QStringList{QStringLiteral("一"), QStringLiteral("<em>"), QStringLiteral("四"), QStringLiteral("五")}));
    QCOMPARE(editor.List1->currentRow(), 1);
    QCOMPARE(labels(), (QStringList{QStringLiteral("<strong>"), QStringLiteral("<em>")})); // a command's names go bare
    QVERIFY(paintsText(editor.motoTag) && paintsText(editor.sinTag));
    QCOMPARE(table.findJapaneseName(u"三"), -1);
    QCOMPARE(int(table.TagCount()), 5);

    editor.List1->setCurrentRow(0);
    editor.Command3->click();
    QCOMPARE(editor.List1->currentRow(), -1);
    QCOMPARE(editor.sinTag->text(), QStringLiteral("＜一＞")); // no row selected: the labels keep their text
    QCOMPARE(int(table.TagCount()), 4);

    // A row whose entry is already gone is still removed.
    QVERIFY(table.DeleteTagEntry(u"四"));
    editor.List1->setCurrentRow(1);
    editor.Command3->click();
    QCOMPARE(rowsOf(editor.List1), (QStringList{QStringLiteral("<em>"), QStringLiteral("五")}));
    QCOMPARE(int(table.TagCount()), 3);

    // Clear deletes every listed entry, counting them on its progress bar, gone again afterwards.
    editor.Command4->click();
    QCOMPARE(editor.List1->count(), 0);
    QCOMPARE(int(table.TagCount()), 1);
    QCOMPARE(table.findJapaneseName(u"残る"), 1);
    QVERIFY(editor.SinkouBar->isHidden() && editor.SinkouBar->value() == 1 && editor.SinkouBar->maximum() == 1);
}

// A name in use, text the dictionary file cannot carry back, or a full table: a message, and
// the table, the list and the typed text stay as they were.
void DialogsTest::refusedAddsChangeNothing_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("japanese");
    QTest::addColumn<QString>("message"); // checked where given
    const QString taken = QStringLiteral("このタグの名前は、仕様できません");
    QTest::newRow("built-in name") << QStringLiteral("x") << QStringLiteral("ページ") << taken;
    QTest::newRow("name in use") << QStringLiteral("x") << QStringLiteral("色") << taken;
    QTest::newRow("comma in name") << QStringLiteral("h1") << QStringLiteral("見,出し") << QString();
    QTest::newRow("comma in html") << QStringLiteral("h,1") << QStringLiteral("見出し") << QString();
    QTest::newRow("line break") << QStringLiteral("h1") << QStringLiteral("見\n出し") << QString();
    QTest::newRow("carriage return") << QStringLiteral("h1\r") << QStringLiteral("見出し") << QString();
    QTest::newRow("leading blank") << QStringLiteral(" h1") << QStringLiteral("見出し") << QString();
    QTest::newRow("leading tab") << QStringLiteral("h1") << QStringLiteral("\t見出し") << QString();
    QTest::newRow("leading quote") << QStringLiteral("h1") << QStringLiteral("\"見出し") << QString();
    QTest::newRow("end marker") << QStringLiteral("h1") << QStringLiteral("EndTagCom") << QString();
    QTest::newRow("emoji") << QStringLiteral("h1") << QStringLiteral("見出し😀") << QString();
    QTest::newRow("euro in html") << QStringLiteral("€") << QStringLiteral("見出し") << QString();
    QTest::newRow("full table") << QStringLiteral("h1") << QStringLiteral("見出し") << QString();
}

void DialogsTest::refusedAddsChangeNothing()
{
    QFETCH(QString, html);
    QFETCH(QString, japanese);
    QFETCH(QString, message);
    TagTable table;
    table.AddTagEntry(u"色", u"color", 6, u"");
    if (qstrcmp(QTest::currentDataTag(), "full table") == 0)
        while (table.TagCount() < TagTable::MaxTagCount)
            table.AddTagEntry(u"w", u"h", 5, u"");
    const int count = table.TagCount();
    ScriptedMessageBoxes boxes;
    NewTag editor(table, boxes);
    boxes.expect(Box::Information);
    add(editor, html, japanese);
    QVERIFY(boxes.unexpected.isEmpty() && boxes.allAnswered());
    if (!message.isEmpty())
        QCOMPARE(boxes.calls.value(0).text, message);
    QCOMPARE(int(table.TagCount()), count);
    QCOMPARE(editor.List1->count(), 0);
    QCOMPARE((QStringList{editor.Text1->text(), editor.Text2->text()}), (QStringList{html, japanese}));
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
    QCOMPARE(rowsOf(reopened.List1), QStringList{QStringLiteral("大見出し")});
}

void DialogsTest::aboutBoxCaptionsAndSystemInformation()
{
    const QString name = QString::fromUtf8(AppName);
    QApplication::setApplicationName(name);
    ScriptedMessageBoxes boxes;
    frmAbout about(boxes);
    QCOMPARE((QStringList{about.windowTitle(), about.lblTitle->text(), about.lblVersion->text()}),
             (QStringList{name + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"), name, QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QString::fromUtf8(VersionText)}));
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
    const QString index = QString::fromUtf8(readAllBytes(help.filePath(QStringLiteral("Index.html"))));
    QVERIFY(!index.isEmpty());
    static const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"#]+)"));
    int links = 0;
    for (const QString &page : help.entryList({QStringLiteral("*.html")})) {
        const QString text = QString::fromUtf8(readAllBytes(help.filePath(page)));
        QVERIFY2(text.contains(QStringLiteral("charset=\"utf-8\"")), qPrintable(page));
        for (auto m = link.globalMatch(text); m.hasNext(); ++links) {
            const QString target = m.next().captured(1);
            QVERIFY2(!target.contains(QLatin1Char(':')), qPrintable(page + QStringLiteral(": ") + target));
            QVERIFY2(help.exists(target), qPrintable(page + QStringLiteral(" links to missing ") + target));
        }
        // Every page but the index is reached from the index.
        QVERIFY2(page == QLatin1String("Index.html") || index.contains(QStringLiteral("href=\"") + page + QLatin1Char('"')), qPrintable(page));
    }
    QVERIFY(links > 20);
    // Each feature beyond the menus has its page.
    for (const char *page : {"keys.html", "find.html", "completion.html", "follow.html", "recovery.html", "encodings.html",
                             "recent.html", "dragdrop.html", "zoom.html", "check.html"})
        QVERIFY2(help.exists(QLatin1String(page)), page);
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
