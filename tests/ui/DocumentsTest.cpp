#include "MainFormHarness.h"

#include <support/FileSizeLimit.h>

#include <dialogs/ColorValue.h>
#include <dialogs/Form1.h>
#include <storage/ProgramFiles.h>
#include <storage/RecoveryStore.h>
#include <storage/SettingsFile.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QRandomGenerator>

using namespace qrn;
using namespace qrn::test;

namespace {
using Box = ScriptedMessageBoxes;
using Dlg = ScriptedDialogs;


// The copies a window's run left in the recovery folder once it has gone.
std::vector<RecoveryCopy> copiesLeft(MainFormHarness &h)
{
    h.form.reset();
    h.dialogs = nullptr; // went with the window
    return RecoveryStore(h.recoveryFolder).orphans();
}

QString dictionaryText(const MainFormHarness &h)
{
    return ShiftJisCodec::decode(readAllBytes(h.path(QStringLiteral("KirikoDate.dat"))));
}
} // namespace

class DocumentsTest : public QObject {
    Q_OBJECT

private slots:
    void exitAnsweredYesButSaveFailsKeepsTheWindowOpen();
    void exitAnsweredNoLosesTheChangesAndWritesTheFiles();
    void endingWhileAWindowIsOpenKeepsTheTextAndWritesNoDocument_data();
    void endingWhileAWindowIsOpenKeepsTheTextAndWritesNoDocument();
    void exitReportsADictionaryThatCannotBeWrittenAndGoesOn();
    void exitOnAFullDiskKeepsTheOldDictionaryAndSaysSo();
    void twoEditorsOnOneProgramFolderKeepEachOthersChanges();
    void dictionaryPastCapacityIsReportedOnceAndKept();
    void programFolderThatCannotBeWrittenKeepsDataInTheUsersFolder();
    void closingTheMainWindowLeavesOtherWindowsOpen();
    void menuCommandsReachTheSessionAndTheWindowFollows();
    void editorKeepsCrLfLineEnds();
    void openThenSaveWritesTheSameBytes();




    void fontAndColourCommandsSurviveARestart();
    void cancelledAppearanceDialogsChangeNothing();
    void settingsFileWithThreeFieldsAppliesThree();
};



void DocumentsTest::exitAnsweredYesButSaveFailsKeepsTheWindowOpen()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->show();
    const QByteArray dictionaryBefore = readAllBytes(h.path(QStringLiteral("KirikoDate.dat")));
    h.form->MainText->setText(QStringLiteral("大事な文"));
    h.henkan.tagTable().AddTagEntry(u"新", u"new", 8, u"");
    h.boxes.expect(Box::AskToSave, true);
    h.dialogs->chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("no/such/folder/a.qrnf")));
    h.boxes.expect(Box::Error);
    QVERIFY(!h.form->close());
    QVERIFY(h.form->isVisible());
    QVERIFY(h.boxes.calls.value(1).text.contains(QStringLiteral("no/such/folder/a.qrnf")));
    QCOMPARE(readAllBytes(h.path(QStringLiteral("KirikoDate.dat"))), dictionaryBefore);
    QCOMPARE(h.text(), QStringLiteral("大事な文"));
    QVERIFY(h.session().DocChanged());
    QVERIFY(h.session().DocPath().isEmpty());

    // The user saves elsewhere and closes again.
    h.boxes.expect(Box::AskToSave, true);
    h.dialogs->chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("a.qrnf")));
    QVERIFY(h.form->close());
    QCOMPARE(readAllBytes(h.path(QStringLiteral("a.qrnf"))), sjis(QStringLiteral("大事な文\r\n")));
}

void DocumentsTest::exitAnsweredNoLosesTheChangesAndWritesTheFiles()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->MainText->setText(QStringLiteral("捨てる"));
    QFile::remove(h.path(QStringLiteral("EditerFontDate.dat")));
    h.boxes.expect(Box::AskToSave, false);
    QVERIFY(h.form->close());
    QVERIFY(QFile::exists(h.path(QStringLiteral("EditerFontDate.dat"))));
    QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("EditerFontDate.dat"), QStringLiteral("KirikoDate.dat")}));
}

// The program told to end (a signal, the desktop session ending) while one of its windows is
// open: the window closes unanswered, its command stops there, the text stays in its copy, and
// no document file is written or replaced.
void DocumentsTest::endingWhileAWindowIsOpenKeepsTheTextAndWritesNoDocument_data()
{
    QTest::addColumn<int>("row");
    const char *const rows[] = {"save question of 終了", "save question of 新規作成", "save dialog after Yes",
                                "characters question", "question on a file changed elsewhere", "open dialog after Yes",
                                "font dialog", "colour dialog", "tag editor", "export dialog"};
    for (int i = 0; i < int(std::size(rows)); ++i)
        QTest::newRow(rows[i]) << i;
}

void DocumentsTest::endingWhileAWindowIsOpenKeepsTheTextAndWritesNoDocument()
{
    QFETCH(int, row);
    MainFormHarness h(true, true);
    QVERIFY(h.form->Form_Load());
    const QString file = h.path(QStringLiteral("page.qrnf"));
    QVERIFY(writeBytes(file, sjis(QStringLiteral("元の文\r\n"))));
    h.session().openFile(file);
    const QString text = row == 3 ? QStringLiteral("絵😀文字") : QStringLiteral("書きかけの文");
    h.form->MainText->setText(text);
    QByteArray onDisk = readAllBytes(file);
    if (row == 4) {
        onDisk += "appended\r\n";
        QVERIFY(writeBytes(file, onDisk));
    }
    const auto end = [&] { h.form->exitWithoutQuestions(); };
    switch (row) {
    case 0:
        h.boxes.expectInterrupted(Box::AskToSave, end);
        h.form->mmnyExit_Click();
        break;
    case 1:
        h.boxes.expectInterrupted(Box::AskToSave, end);
        h.form->mmnyNew_Click();
        break;
    case 2:
        h.session().restore(text, QString(), TextFormat()); // untitled: the save asks for a name
        h.boxes.expect(Box::AskToSave, true);
        h.dialogs->interrupt(Dlg::SaveDialog, end);
        h.form->mmnyNew_Click();
        break;
    case 3:
    case 4:
        h.boxes.expectInterrupted(Box::AskChoice, end);
        h.form->mnySave_Click();
        break;
    case 5:
        h.boxes.expect(Box::AskToSave, true);
        h.boxes.expectInterrupted(Box::AskChoice, end); // the file changed meanwhile
        QVERIFY(writeBytes(file, onDisk += "x"));
        h.form->mmnyOpen_Click();
        break;
    case 6:
        h.dialogs->interrupt(Dlg::FontDialog, end);
        h.form->mmnyFont_Click();
        break;
    case 7:
        h.dialogs->interrupt(Dlg::ColorDialog, end);
        h.form->mmnyEditerColor_Click();
        break;
    case 8:
        h.windows.userInTagEditor = [&](TagTable &) { end(); };
        h.form->mmnyNewTag_Click();
        break;
    case 9:
        h.dialogs->interrupt(Dlg::SaveDialog, end);
        h.form->mmnyHTMLSave_Click();
        break;
    }
    h.verifyScriptsUsed();
    QCOMPARE(h.text(), text);
    QCOMPARE(readAllBytes(file), onDisk);
    QVERIFY(!QFile::exists(h.scratch()) && !QFile::exists(h.path(QStringLiteral("page.html"))));
    const std::vector<RecoveryCopy> left = copiesLeft(h);
    QCOMPARE(left.size(), std::size_t(1));
    QCOMPARE(left[0].text, text);
}

void DocumentsTest::exitReportsADictionaryThatCannotBeWrittenAndGoesOn()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    QVERIFY(QFile::remove(h.path(QStringLiteral("KirikoDate.dat"))));
    QVERIFY(QDir(h.dir.path()).mkdir(QStringLiteral("KirikoDate.dat"))); // a folder in its place
    QFile::remove(h.path(QStringLiteral("EditerFontDate.dat")));
    h.boxes.expect(Box::Error);
    QVERIFY(h.form->close());
    QVERIFY(h.boxes.calls.value(0).text.contains(QStringLiteral("KirikoDate.dat")));
    QVERIFY(QFile::exists(h.path(QStringLiteral("EditerFontDate.dat"))));
}

void DocumentsTest::exitOnAFullDiskKeepsTheOldDictionaryAndSaysSo()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    const QByteArray before = readAllBytes(h.path(QStringLiteral("KirikoDate.dat")));
    QVERIFY(before.size() > 8192 && before.size() < 16384); // fits the write buffer: fails only at the flush
    h.henkan.tagTable().AddTagEntry(u"新", u"new", 8, u"");
    h.boxes.expect(Box::Error);
    {
        const FileSizeLimit diskFull(4096);
        QVERIFY(h.form->close());
    }
    QVERIFY(h.boxes.calls.value(0).text.contains(QStringLiteral("KirikoDate.dat")));
    QCOMPARE(readAllBytes(h.path(QStringLiteral("KirikoDate.dat"))), before);
}

void DocumentsTest::twoEditorsOnOneProgramFolderKeepEachOthersChanges()
{
    MainFormHarness h;
    // A second editor on the same program folder, started before the first one exits.
    HenkanMod henkan;
    ScriptedMessageBoxes boxes;
    FakePreviews previews;
    MainForm second(henkan, h.dir.path(), boxes, std::make_unique<ScriptedDialogs>(), h.windows, previews.factory());
    QVERIFY(h.form->Form_Load());
    QVERIFY(second.Form_Load());

    h.henkan.tagTable().AddTagEntry(u"一つ目", u"first", 8, u"");
    h.form->MainText->setBackColor(255);
    QVERIFY(h.form->close());
    henkan.tagTable().AddTagEntry(u"二つ目", u"second", 8, u"");
    QVERIFY(second.close());

    const QString dictionary = dictionaryText(h);
    QVERIFY(dictionary.contains(QStringLiteral("一つ目,first,8,,二つ目,second,8,,EndTagCom")));
    QVERIFY(readAllBytes(h.path(QStringLiteral("EditerFontDate.dat"))).startsWith("255,"));

    // A third run that changed nothing leaves both as they are.
    HenkanMod third;
    ScriptedMessageBoxes thirdBoxes;
    MainForm thirdForm(third, h.dir.path(), thirdBoxes, std::make_unique<ScriptedDialogs>(), h.windows, previews.factory());
    QVERIFY(thirdForm.Form_Load());
    QString another = dictionary; // what yet another run wrote meanwhile
    another.replace(QStringLiteral("EndTagCom"), QStringLiteral("三,3,8,,EndTagCom"));
    QVERIFY(writeBytes(h.path(QStringLiteral("KirikoDate.dat")), sjis(another)));
    QVERIFY(thirdForm.close());
    QVERIFY(dictionaryText(h).contains(QStringLiteral("二つ目,second,8,,三,3,8,,EndTagCom")));
    QVERIFY(boxes.unexpected.isEmpty() && thirdBoxes.unexpected.isEmpty());
}

void DocumentsTest::dictionaryPastCapacityIsReportedOnceAndKept()
{
    MainFormHarness h(false);
    QByteArray text;
    for (int i = 0; i < 32800; ++i)
        text += "w" + QByteArray::number(i) + ",h,0,,";
    text += "EndTagCom\r\n";
    QVERIFY(writeBytes(h.path(QStringLiteral("KirikoDate.dat")), text));
    QVERIFY(writeBytes(h.path(QStringLiteral("EditerFontDate.dat")), "16777215,Face,11,False,False,0\r\n"));
    h.boxes.expect(Box::Information);
    QVERIFY(h.form->Form_Load());
    QVERIFY2(h.boxes.calls.value(0).text.contains(QStringLiteral(" 33 ")), qPrintable(h.boxes.calls.value(0).text));
    QVERIFY(h.form->close());
    QCOMPARE(readAllBytes(h.path(QStringLiteral("KirikoDate.dat"))), text);
}

void DocumentsTest::programFolderThatCannotBeWrittenKeepsDataInTheUsersFolder()
{
    QTemporaryDir program, user;
    QVERIFY(makeProgramFolder(program.path()));
    const QByteArray delivered = readAllBytes(program.filePath(QStringLiteral("KirikoDate.dat")));
    const QString userFolder = user.filePath(QStringLiteral("QRN"));
    const ProgramFolders folders = chooseProgramFolders(program.path(), userFolder, false);
    QCOMPARE(folders.data, userFolder);
    QCOMPARE(readAllBytes(user.filePath(QStringLiteral("QRN/KirikoDate.dat"))), delivered);

    const auto run = [&](const std::function<void(MainForm &, HenkanMod &)> &whileRunning) {
        HenkanMod henkan;
        ScriptedMessageBoxes boxes;
        ScriptedWindows windows;
        FakePreviews previews;
        MainForm form(henkan, folders, boxes, std::make_unique<ScriptedDialogs>(), windows, previews.factory());
        QVERIFY(form.Form_Load());
        whileRunning(form, henkan);
        QVERIFY(form.close());
        QVERIFY(boxes.unexpected.isEmpty());
    };
    run([&](MainForm &form, HenkanMod &henkan) {
        // A new document's work folder is the user's folder too.
        QCOMPARE(form.session().WorkFolder(), userFolder);
        henkan.tagTable().AddTagEntry(u"自作", u"mine", 8, u"");
    });
    QVERIFY(ShiftJisCodec::decode(readAllBytes(user.filePath(QStringLiteral("QRN/KirikoDate.dat")))).contains(QStringLiteral("自作,mine,8,")));
    QCOMPARE(readAllBytes(program.filePath(QStringLiteral("KirikoDate.dat"))), delivered);
    // The next start reads the user's copy, not the delivered one again.
    QCOMPARE(chooseProgramFolders(program.path(), userFolder, false).data, userFolder);
    run([&](MainForm &, HenkanMod &henkan) { QVERIFY(henkan.tagTable().findJapaneseName(u"自作") > 0); });
    // A writable program folder is used as it is.
    QCOMPARE(chooseProgramFolders(program.path(), userFolder, folderIsWritable(program.path())).data, program.path());
}

void DocumentsTest::closingTheMainWindowLeavesOtherWindowsOpen()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->show();
    h.form->mmnyHtmlHyozi_Click();
    QPointer<Form1> source = h.form->sourceWindow();
    QVERIFY(h.form->close());
    QVERIFY(source && source->isVisible());
    source->close();
}

void DocumentsTest::menuCommandsReachTheSessionAndTheWindowFollows()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.brw().finishLoad();
    QTemporaryDir site;
    const QString file = site.filePath(QStringLiteral("page.qrnf"));
    h.form->MainText->setText(QStringLiteral("＜ページ＞"));
    QVERIFY(h.session().DocChanged());
    h.dialogs->chooseFile(Dlg::SaveDialog, file);
    h.form->mmnyName->trigger();
    QCOMPARE(readAllBytes(file), sjis(QStringLiteral("＜ページ＞\r\n")));
    QVERIFY(!QFile::exists(h.scratch()));
    // The title follows at the next load, not at the save.
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN - [QRNドキュメント]"));

    // The palette's work folder follows; the next refresh writes the scratch file there.
    h.selectCategory(QStringLiteral("作業フォルダ"));
    QCOMPARE(h.paletteRows(), QStringList{QStringLiteral("page.qrnf")});
    h.form->mmnyKousin->trigger();
    QCOMPARE(h.brw().navigations.constLast(), site.filePath(QStringLiteral("Kiriko_WaitFile.htm")));
    h.brw().finishLoad();
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN - [") + file + QStringLiteral("]"));

    // The status bar's last panel names the document's encoding.
    QCOMPARE(h.form->StaEncoding->text(), QStringLiteral("Shift_JIS"));
    const QString utf8 = site.filePath(QStringLiteral("utf8.qrnf"));
    QVERIFY(writeBytes(utf8, QByteArray("\xEF\xBB\xBF") + QStringLiteral("本文😀\n").toUtf8()));
    h.dialogs->chooseFile(Dlg::OpenDialog, utf8);
    h.form->mmnyOpen->trigger();
    QCOMPARE(h.form->StaEncoding->text(), QStringLiteral("UTF-8"));
    h.dialogs->chooseFile(Dlg::SaveDialog, file);
    h.form->mmnyName->trigger();

    // New, open, save, export and import reach the session from their menu items.
    h.form->MainText->setText(QStringLiteral("二"));
    h.form->mnySave->trigger();
    // The document read as UTF-8 with a mark and LF lines is saved so after an edit.
    QCOMPARE(readAllBytes(file), QByteArray("\xEF\xBB\xBF") + QStringLiteral("二\n").toUtf8());
    h.dialogs->cancel(Dlg::OpenDialog);
    h.form->mmnyOpen->trigger();
    h.dialogs->cancel(Dlg::SaveDialog);
    h.form->mmnyHTMLSave->trigger();
    h.dialogs->cancel(Dlg::OpenDialog);
    h.form->mmnyHtmlHenkan->trigger();
    h.form->mmnyNew->trigger();
    QCOMPARE(h.text(), fromU16(NewDocumentTemplate()));
    QCOMPARE(h.session().WorkFolder(), h.dir.path());
    QCOMPARE(h.form->StaEncoding->text(), QStringLiteral("Shift_JIS"));
}

void DocumentsTest::editorKeepsCrLfLineEnds()
{
    // The editor keeps CR LF line ends (and no-break spaces) whatever the widget holds inside.
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    for (const QString &text : {QStringLiteral("A\r\nB"), QStringLiteral("A\r\n"), QString(), QStringLiteral("x\u00A0y\r\n\r\nz")}) {
        h.form->MainText->setText(text);
        QCOMPARE(h.text(), text);
    }
}

// Random documents in every encoding and line-end mix, opened in the real editor and saved
// without an edit: the file is written back byte for byte.
void DocumentsTest::openThenSaveWritesTheSameBytes()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    const QString file = h.path(QStringLiteral("doc.qrnf"));
    const QStringList pieces{QStringLiteral("あ"), QStringLiteral("a"), QStringLiteral("\r\n"), QStringLiteral("\n"),
                             QStringLiteral("\r"), QStringLiteral("\u2028"), QStringLiteral("\u2029"), QStringLiteral("\u00A0"),
                             QStringLiteral("〜"), QStringLiteral("＜段落＞"), QStringLiteral("\t")};
    QRandomGenerator random(7);
    int saved = 0;
    for (int i = 0; i < 200; ++i) {
        QString text;
        for (int n = random.bounded(1, 20); n > 0; --n)
            text += pieces[random.bounded(int(pieces.size()))];
        QByteArray bytes;
        switch (i % 4) {
        case 0:
            bytes = sjis(text);
            break;
        case 1:
            bytes = text.toUtf8();
            break;
        case 2:
            bytes = "\xEF\xBB\xBF" + text.toUtf8();
            break;
        case 3:
            bytes = QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
            break;
        }
        QVERIFY(writeBytes(file, bytes));
        h.session().openFile(file);
        if (h.session().DocChanged())
            continue; // bytes that did not decode: saved as the editor holds them, by design
        h.form->mnySave_Click();
        QVERIFY2(readAllBytes(file) == bytes, qPrintable(QString::number(i) + QLatin1Char(' ') + QString::fromLatin1(bytes.toHex())));
        ++saved;
    }
    QVERIFY(saved > 150);
}

void DocumentsTest::fontAndColourCommandsSurviveARestart()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    const QString face = h.form->MainText->font().family();
    h.dialogs->chooseFont(face, 10.5, true, false);
    h.form->mmnyFont_Click();
    const ScriptedDialogs::Call fontCall = h.dialogs->calls.value(0);
    QCOMPARE(fontCall.flags, 1);
    QCOMPARE(h.form->MainText->font().pointSizeF(), 10.5);
    QVERIFY(h.form->MainText->font().bold());
    QVERIFY(!h.session().DocChanged());

    h.dialogs->chooseColor(SystemColorWindow);
    h.form->mmnyEditerColor_Click();
    QCOMPARE(h.dialogs->calls.value(1).color, 16777215);
    h.dialogs->chooseColor(0x0000FF);
    h.form->mmnyFontColor_Click();
    QCOMPARE(h.dialogs->calls.value(2).color, 0);
    QCOMPARE(h.form->MainText->palette().color(QPalette::Text), QColor(255, 0, 0));
    QVERIFY(h.form->close());
    QCOMPARE(readAllBytes(h.path(QStringLiteral("EditerFontDate.dat"))),
             sjis(QStringLiteral("-2147483643,%1,10.5,True,False,255\r\n").arg(face)));

    // A new run reads back what the exit wrote.
    h.create();
    QVERIFY(h.form->Form_Load());
    QVERIFY(h.form->MainText->font().bold());
    QCOMPARE(h.form->MainText->font().pointSizeF(), 10.5);
    QCOMPARE(h.form->MainText->backColor(), SystemColorWindow);
    QCOMPARE(h.form->MainText->foreColor(), 255);
}

void DocumentsTest::cancelledAppearanceDialogsChangeNothing()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    const QFont font = h.form->MainText->font();
    h.dialogs->cancel(Dlg::FontDialog);
    h.dialogs->cancel(Dlg::ColorDialog);
    h.dialogs->cancel(Dlg::ColorDialog);
    h.form->mmnyFont_Click();
    h.form->mmnyEditerColor_Click();
    h.form->mmnyFontColor_Click();
    QCOMPARE(h.form->MainText->font(), font);
    QCOMPARE(h.form->MainText->backColor(), 16777215);
    QCOMPARE(h.form->MainText->foreColor(), 0);
}

void DocumentsTest::settingsFileWithThreeFieldsAppliesThree()
{
    MainFormHarness h;
    QVERIFY(writeBytes(h.path(QStringLiteral("EditerFontDate.dat")), "255,Noto Serif CJK JP,14\r\n"));
    QVERIFY(h.form->Form_Load());
    QCOMPARE(h.form->MainText->backColor(), 255);
    QCOMPARE(h.form->MainText->font().family(), QStringLiteral("Noto Serif CJK JP"));
    QCOMPARE(h.form->MainText->font().pointSizeF(), 14.0);
    QVERIFY(!h.form->MainText->font().bold());
    QCOMPARE(h.form->MainText->foreColor(), SystemColorWindowText);
}

QTEST_MAIN(DocumentsTest)
#include "DocumentsTest.moc"
