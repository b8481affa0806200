// The document commands in the real window: the exit and its data files, the program being told
// to end, where the data files live and two runs sharing them, and the appearance commands.

#include "MainFormHarness.h"

#include <support/FileSizeLimit.h>

#include <dialogs/ColorValue.h>
#include <dialogs/Form1.h>
#include <document/DocumentRecovery.h>
#include <storage/ProgramFiles.h>
#include <storage/RecoveryStore.h>

#include <QLabel>
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
} // namespace

class DocumentsTest : public QObject {
    Q_OBJECT

private slots:
    void exitSettlesTheDocumentThenWritesTheDataFiles_data();
    void exitSettlesTheDocumentThenWritesTheDataFiles();
    void endingWhileAWindowIsOpenKeepsTheTextAndWritesNoDocument_data();
    void endingWhileAWindowIsOpenKeepsTheTextAndWritesNoDocument();
    void dictionaryPastCapacityIsReportedOnceAndKept();
    void programFolderThatCannotBeWrittenKeepsDataInTheUsersFolder();
    void theWindowFollowsTheSession();
    void openThenSaveWritesTheSameBytes();
    void fontAndColourCommandsSurviveARestart();
};

// The exit with unsaved changes: No throws them away (and this run's recovery copy with them);
// Yes with a save that fails keeps the window open and writes nothing; a data file that cannot be
// written is said and the exit goes on, the old file kept. Other windows stay open either way.
void DocumentsTest::exitSettlesTheDocumentThenWritesTheDataFiles_data()
{
    QTest::addColumn<QString>("saveTo"); // empty: No to saving
    QTest::addColumn<int>("sizeLimit");
    QTest::addColumn<bool>("dictionaryIsAFolder");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("error");
    QTest::newRow("no") << QString() << 0 << false << true << QString();
    QTest::newRow("yes, the save fails") << QStringLiteral("no/such/folder/a.qrnf") << 0 << false << false << QStringLiteral("no/such/folder/a.qrnf");
    QTest::newRow("a folder in the dictionary's place") << QString() << 0 << true << true << QStringLiteral("KirikoDate.dat");
    QTest::newRow("disk full") << QString() << 4096 << false << true << QStringLiteral("KirikoDate.dat");
}

void DocumentsTest::exitSettlesTheDocumentThenWritesTheDataFiles()
{
    QFETCH(QString, saveTo);
    QFETCH(int, sizeLimit);
    QFETCH(bool, dictionaryIsAFolder);
    QFETCH(bool, closes);
    QFETCH(QString, error);
    MainFormHarness h(true, true);
    QVERIFY(h.form->Form_Load());
    h.form->show();
    h.form->mmnyHtmlHyozi_Click();
    const QPointer<Form1> source = h.form->sourceWindow();
    const QString dictionary = h.path(QStringLiteral("KirikoDate.dat")), settings = h.path(QStringLiteral("EditerFontDate.dat"));
    const QByteArray before = readAllBytes(dictionary);
    if (dictionaryIsAFolder)
        QVERIFY(QFile::remove(dictionary) && QDir(h.dir.path()).mkdir(QStringLiteral("KirikoDate.dat")));
    QVERIFY(QFile::remove(settings));
    h.henkan.tagTable().AddTagEntry(u"新", u"new", 8, u"");
    h.form->MainText->setText(QStringLiteral("大事な文"));
    h.form->findChild<DocumentRecovery *>()->saveNow();
    h.boxes.expect(Box::AskToSave, !saveTo.isEmpty());
    if (!saveTo.isEmpty())
        h.dialogs->chooseFile(Dlg::SaveDialog, h.path(saveTo));
    if (!error.isEmpty())
        h.boxes.expect(Box::Error);
    {
        const FileSizeLimit limit(sizeLimit > 0 ? rlim_t(sizeLimit) : RLIM_INFINITY);
        QCOMPARE(h.form->close(), closes);
    }
    QVERIFY(source && source->isVisible());
    source->close();
    if (!error.isEmpty())
        QVERIFY2(h.boxes.calls.constLast().text.contains(error), qPrintable(h.boxes.calls.constLast().text));
    QCOMPARE(QFile::exists(settings), closes);
    if (!closes || sizeLimit > 0)
        QCOMPARE(readAllBytes(dictionary), before);
    if (closes) // the scratch file went, and nothing was left beside the data files
        QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files | QDir::Hidden).join(QLatin1Char(' ')),
                 dictionaryIsAFolder ? QStringLiteral("EditerFontDate.dat") : QStringLiteral("EditerFontDate.dat KirikoDate.dat"));
    QCOMPARE(copiesLeft(h).size(), std::size_t(closes ? 0 : 1));
}

// Told to end (a signal, the desktop session ending) while one of its windows is open: the window
// closes unanswered, its command stops, the text stays in its copy, and no document is written.
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
    if (row == 4)
        QVERIFY(writeBytes(file, onDisk += "appended\r\n"));
    const auto end = [&] { h.form->exitWithoutQuestions(); };
    // What is open when the end comes, and the command that opens it.
    switch (row) {
    case 0: h.boxes.expectInterrupted(Box::AskToSave, end); h.form->mmnyExit_Click(); break;
    case 1: h.boxes.expectInterrupted(Box::AskToSave, end); h.form->mmnyNew_Click(); break;
    case 2: // untitled: the save asks for a name
        h.session().restore(text, QString(), TextFormat());
        h.boxes.expect(Box::AskToSave, true);
        h.dialogs->interrupt(Dlg::SaveDialog, end);
        h.form->mmnyNew_Click();
        break;
    case 3:
    case 4: h.boxes.expectInterrupted(Box::AskChoice, end); h.form->mnySave_Click(); break;
    case 5: // the file changed meanwhile
        h.boxes.expect(Box::AskToSave, true);
        h.boxes.expectInterrupted(Box::AskChoice, end);
        QVERIFY(writeBytes(file, onDisk += "x"));
        h.form->mmnyOpen_Click();
        break;
    case 6: h.dialogs->interrupt(Dlg::FontDialog, end); h.form->mmnyFont_Click(); break;
    case 7: h.dialogs->interrupt(Dlg::ColorDialog, end); h.form->mmnyEditerColor_Click(); break;
    case 8: h.windows.userInTagEditor = [&](TagTable &) { end(); }; h.form->mmnyNewTag_Click(); break;
    case 9: h.dialogs->interrupt(Dlg::SaveDialog, end); h.form->mmnyHTMLSave_Click(); break;
    }
    h.verifyScriptsUsed();
    QCOMPARE(h.text(), text);
    QCOMPARE(readAllBytes(file), onDisk);
    QVERIFY(!QFile::exists(h.scratch()) && !QFile::exists(h.path(QStringLiteral("page.html"))));
    const std::vector<RecoveryCopy> left = copiesLeft(h);
    QCOMPARE(left.size(), std::size_t(1));
    QCOMPARE(left[0].text, text);
}

void DocumentsTest::dictionaryPastCapacityIsReportedOnceAndKept()
{
    MainFormHarness h;
    QByteArray text;
    for (int i = 0; i < 32800; ++i)
        text += "w" + QByteArray::number(i) + ",h,0,,";
    text += "EndTagCom\r\n";
    QVERIFY(writeBytes(h.path(QStringLiteral("KirikoDate.dat")), text));
    h.boxes.expect(Box::Information);
    QVERIFY(h.form->Form_Load());
    QVERIFY2(h.boxes.calls.value(0).text.contains(QStringLiteral(" 33 ")), qPrintable(h.boxes.calls.value(0).text));
    QVERIFY(h.form->close());
    QCOMPARE(readAllBytes(h.path(QStringLiteral("KirikoDate.dat"))), text);
}

// A program folder that cannot be written: the data files are kept in the user's folder, the
// next start reads them there, and two runs at once keep each other's dictionary entries and
// settings.
void DocumentsTest::programFolderThatCannotBeWrittenKeepsDataInTheUsersFolder()
{
    QTemporaryDir program, user;
    QVERIFY(makeProgramFolder(program.path()));
    const QByteArray delivered = readAllBytes(program.filePath(QStringLiteral("KirikoDate.dat")));
    const QString userFolder = user.filePath(QStringLiteral("QRN"));
    const ProgramFolders folders = chooseProgramFolders(program.path(), userFolder, false);
    QCOMPARE(folders.data, userFolder);
    QCOMPARE(readAllBytes(user.filePath(QStringLiteral("QRN/KirikoDate.dat"))), delivered);

    HenkanMod firstTags, secondTags, nextTags;
    ScriptedMessageBoxes boxes;
    ScriptedWindows windows;
    FakePreviews previews;
    MainForm first(firstTags, folders, boxes, std::make_unique<ScriptedDialogs>(), windows, previews.factory());
    MainForm second(secondTags, folders, boxes, std::make_unique<ScriptedDialogs>(), windows, previews.factory());
    QVERIFY(first.Form_Load() && second.Form_Load());
    QCOMPARE(first.session().WorkFolder(), userFolder); // a new document's work folder too
    firstTags.tagTable().AddTagEntry(u"一つ目", u"first", 8, u"");
    first.MainText->setBackColor(255);
    QVERIFY(first.close());
    secondTags.tagTable().AddTagEntry(u"二つ目", u"second", 8, u"");
    QVERIFY(second.close());
    QVERIFY(ShiftJisCodec::decode(readAllBytes(user.filePath(QStringLiteral("QRN/KirikoDate.dat"))))
                .contains(QStringLiteral("一つ目,first,8,,二つ目,second,8,,EndTagCom")));
    QVERIFY(readAllBytes(user.filePath(QStringLiteral("QRN/EditerFontDate.dat"))).startsWith("255,"));
    QCOMPARE(readAllBytes(program.filePath(QStringLiteral("KirikoDate.dat"))), delivered);

    // The next start reads the user's copy, not the delivered one again.
    QCOMPARE(chooseProgramFolders(program.path(), userFolder, false).data, userFolder);
    MainForm next(nextTags, folders, boxes, std::make_unique<ScriptedDialogs>(), windows, previews.factory());
    QVERIFY(next.Form_Load());
    QVERIFY(nextTags.tagTable().findJapaneseName(u"二つ目") > 0);
    QVERIFY(boxes.unexpected.isEmpty());
    // A writable program folder is used as it is.
    QCOMPARE(chooseProgramFolders(program.path(), userFolder, folderIsWritable(program.path())).data, program.path());
}

// The palette's work folder, the preview's scratch file, the title (at the next load) and the
// status bar's encoding follow the session; export and import reach it from their menu items.
void DocumentsTest::theWindowFollowsTheSession()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.brw().finishLoad();
    QTemporaryDir site;
    const QString file = site.filePath(QStringLiteral("page.qrnf"));
    h.form->MainText->setText(QStringLiteral("＜ページ＞"));
    h.dialogs->chooseFile(Dlg::SaveDialog, file);
    h.form->mmnyName->trigger();
    QVERIFY(QFile::exists(file) && !QFile::exists(h.scratch()));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN - [QRNドキュメント]"));
    h.selectCategory(QStringLiteral("作業フォルダ"));
    QCOMPARE(h.paletteRows(), QStringList{QStringLiteral("page.qrnf")});
    h.form->mmnyKousin->trigger();
    QCOMPARE(h.brw().navigations.constLast(), site.filePath(QStringLiteral("Kiriko_WaitFile.htm")));
    h.brw().finishLoad();
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN - [") + file + QStringLiteral("]"));

    QCOMPARE(h.form->StaEncoding->text(), QStringLiteral("Shift_JIS"));
    const QString utf8 = site.filePath(QStringLiteral("utf8.qrnf"));
    QVERIFY(writeBytes(utf8, QByteArray("\xEF\xBB\xBF") + QStringLiteral("本文😀\n").toUtf8()));
    h.dialogs->chooseFile(Dlg::OpenDialog, utf8);
    h.form->mmnyOpen->trigger();
    QCOMPARE(h.form->StaEncoding->text(), QStringLiteral("UTF-8"));
    h.form->MainText->setText(QStringLiteral("二"));
    h.form->mnySave->trigger();
    QCOMPARE(readAllBytes(utf8), QByteArray("\xEF\xBB\xBF") + QStringLiteral("二\n").toUtf8()); // its mark and LF lines kept
    h.dialogs->cancel(Dlg::SaveDialog);
    h.form->mmnyHTMLSave->trigger();
    h.dialogs->cancel(Dlg::OpenDialog);
    h.form->mmnyHtmlHenkan->trigger();
    h.form->mmnyNew->trigger();
    QCOMPARE((QStringList{h.text(), h.session().WorkFolder(), h.form->StaEncoding->text()}),
             (QStringList{fromU16(NewDocumentTemplate()), h.dir.path(), QStringLiteral("Shift_JIS")}));
}

// The editor gives back CR LF line ends and no-break spaces as set, whatever the widget holds
// inside; random documents in every encoding and line-end mix, opened in it and saved without an
// edit, are written back byte for byte.
void DocumentsTest::openThenSaveWritesTheSameBytes()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    for (const QString &text : {QStringLiteral("A\r\nB"), QStringLiteral("A\r\n"), QString(), QStringLiteral("x\u00A0y\r\n\r\nz")}) {
        h.form->MainText->setText(text);
        QCOMPARE(h.text(), text);
    }

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
        const QByteArray forms[] = {sjis(text), text.toUtf8(), QByteArray("\xEF\xBB\xBF") + text.toUtf8(),
                                    QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)};
        const QByteArray &bytes = forms[i % 4];
        QVERIFY(writeBytes(file, bytes));
        h.session().openFile(file);
        if (h.session().DocChanged())
            continue; // bytes that did not decode: saved as the editor holds them, on purpose
        h.form->mnySave_Click();
        QVERIFY2(readAllBytes(file) == bytes, qPrintable(QString::number(i) + QLatin1Char(' ') + QString::fromLatin1(bytes.toHex())));
        ++saved;
    }
    QVERIFY(saved > 150);
}

// A settings file of three fields sets those three and leaves the rest as the editor has them; a
// cancelled font or colour dialog changes nothing; a choice applies at once, is no change of the
// document, and is written at exit for the next run.
void DocumentsTest::fontAndColourCommandsSurviveARestart()
{
    MainFormHarness h;
    QVERIFY(writeBytes(h.path(QStringLiteral("EditerFontDate.dat")), "255,Noto Serif CJK JP,14\r\n"));
    QVERIFY(h.form->Form_Load());
    const QString serif = QStringLiteral("Noto Serif CJK JP");
    const auto looks = [&] {
        const QFont f = h.form->MainText->font();
        return std::tuple(f.family(), f.pointSizeF(), f.bold(), f.italic(), h.form->MainText->backColor(), h.form->MainText->foreColor());
    };
    h.dialogs->cancel(Dlg::FontDialog);
    h.dialogs->cancel(Dlg::ColorDialog);
    h.dialogs->cancel(Dlg::ColorDialog);
    h.form->mmnyFont_Click();
    h.form->mmnyEditerColor_Click();
    h.form->mmnyFontColor_Click();
    QCOMPARE(looks(), std::tuple(serif, 14.0, false, false, 255, SystemColorWindowText));

    h.dialogs->chooseFont(serif, 10.5, true, false);
    h.form->mmnyFont_Click();
    QCOMPARE(looks(), std::tuple(serif, 10.5, true, false, 255, SystemColorWindowText));
    QVERIFY(!h.session().DocChanged());
    h.dialogs->chooseColor(SystemColorWindow);
    h.form->mmnyEditerColor_Click();
    QCOMPARE(h.dialogs->calls.value(4).color, 255); // each colour dialog starts at the colour in use
    h.dialogs->chooseColor(0x0000FF);
    h.form->mmnyFontColor_Click();
    QCOMPARE(h.dialogs->calls.value(5).color, SystemColorWindowText);
    QCOMPARE(h.form->MainText->palette().color(QPalette::Text), QColor(255, 0, 0));
    QVERIFY(h.form->close());
    QCOMPARE(readAllBytes(h.path(QStringLiteral("EditerFontDate.dat"))), QByteArray("-2147483643,Noto Serif CJK JP,10.5,True,False,255\r\n"));

    h.create();
    QVERIFY(h.form->Form_Load());
    QCOMPARE(looks(), std::tuple(serif, 10.5, true, false, SystemColorWindow, 255));
}

QTEST_MAIN(DocumentsTest)
#include "DocumentsTest.moc"
