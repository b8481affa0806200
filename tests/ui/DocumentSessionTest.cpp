// The document's life without a window or a browser: every outcome of new, open, save, save as,
// export, import and the exit's question, with scripted answers.

#include "UiTestSupport.h"

#include <support/FileSizeLimit.h>

#include <core/HenkanMod.h>
#include <core/NewDocumentTemplate.h>
#include <document/DocumentRecovery.h>
#include <document/DocumentSession.h>
#include <document/DocumentText.h>
#include <storage/RecoveryStore.h>

#include <QSignalSpy>

#include <QtTest>
#include <optional>

using namespace qrn;
using namespace qrn::test;

namespace {
using Box = ScriptedMessageBoxes;
using Dlg = ScriptedDialogs;

const QString SaveFilter = QStringLiteral("日本語タグファイル|*.qrnf");
const QString OpenFilter = QStringLiteral("使用可能なページファイル|*.htm;*.html;*.qrnf|日本語タグファイル|*.qrnf|HTMLファイル|*.html;*.htm");
const QString HtmlFilter = QStringLiteral("HTMLファイル|*.html;*.htm");
const QString Prompt = QStringLiteral("ファイル\"%1\"は変更されています、変更を保存しますか？");
const QString Template = fromU16(NewDocumentTemplate());

// The editor as the session sees it: setting the text runs the change handling, as typing does.
class FakeText : public DocumentText {
public:
    std::function<void()> changed;
    QString value;
    QString text() const override { return value; }
    void setText(const QString &text) override
    {
        value = text;
        changed();
    }
};

// A session on fakes, with a program folder holding the delivered dictionary, started as the
// window starts it: a new document from the template.
struct SessionHarness {
    QTemporaryDir dir;
    HenkanMod henkan;
    FakeText text;
    ScriptedMessageBoxes boxes;
    ScriptedDialogs dialogs;
    DocumentSession session{henkan, dir.path(), text, boxes, dialogs};

    SessionHarness()
    {
        makeProgramFolder(dir.path());
        DictionaryFile(path(QStringLiteral("KirikoDate.dat"))).load(henkan.tagTable());
        text.changed = [this] {
            session.markChanged();
            // The window's preview writes the scratch file into the work folder at every change.
            writeBytes(scratch(session.WorkFolder()), "scratch");
        };
        session.NewDate();
    }
    ~SessionHarness()
    {
        if (!boxes.unexpected.isEmpty() || dialogs.unexpected > 0 || !boxes.allAnswered() || !dialogs.allAnswered())
            QTest::qFail("a message box or dialog was shown that the test did not script", __FILE__, __LINE__);
    }

    void edit(const QString &t) { text.setText(t); }
    QString path(const QString &name) const { return dir.filePath(name); }
    static QString scratch(const QString &folder) { return folder + QStringLiteral("/Kiriko_WaitFile.htm"); }
    void verifyScriptsUsed() const
    {
        QVERIFY2(boxes.unexpected.isEmpty(), qPrintable(boxes.unexpected.join(QLatin1Char('|'))));
        QVERIFY(boxes.allAnswered());
        QCOMPARE(dialogs.unexpected, 0);
        QVERIFY(dialogs.allAnswered());
    }
};

// The state a command left: work folder, file, changed flag.
void verifyState(const SessionHarness &h, const QString &workFolder, const QString &docPath, bool changed)
{
    QCOMPARE(h.session.WorkFolder(), workFolder);
    QCOMPARE(h.session.DocPath(), docPath);
    QCOMPARE(h.session.DocChanged(), changed);
}
} // namespace

class DocumentSessionTest : public QObject {
    Q_OBJECT

private slots:
    void promptOnlyForAChangedDocumentNamingItsFile();

    void saveUntitledAsksForANameAndFollowsTheFile();
    void saveOfANameWithoutExtensionAddsIt();
    void saveFailuresNameTheirCause_data();
    void saveFailuresNameTheirCause();
    void charactersShiftJisCannotHoldAreReplacedOnlyWhenTheUserAgrees();
    void dialogsStartWhereTheDocumentIs();
    void undecodableBytesAreReportedAndCountAsAChange();
    void exportIsWrittenInThePagesDeclaredCharset();

    void commandsThatReplaceTheTextStopWhenTheSaveDidNotHappen_data();
    void commandsThatReplaceTheTextStopWhenTheSaveDidNotHappen();
    void commandsThatReplaceTheTextGoOnAfterNoOrACancelledDialog_data();
    void commandsThatReplaceTheTextGoOnAfterNoOrACancelledDialog();

    void openReadsTheFileUnconvertedAndAPlainSaveWritesItBack();
    void openOfAMissingFileStartsItOrSaysWhyNot();

    void exportWritesConvertedHtmlAndTakesItsName();
    void exportCancelledOrFailedChangesNothing();
    void importConvertsHtmlIntoAnUntitledChangedDocument();
    void importOfAnEmptyOrUnreadableFile();


    void fileChangedByAnotherProgramIsNotOverwrittenUnasked_data();
    void fileChangedByAnotherProgramIsNotOverwrittenUnasked();
    void scratchFilesOfOtherLiveRunsStay();
    void recoveryCopyFollowsUnsavedChanges();
    void leftCopiesAreOfferedNewestFirstUntilOneIsRestored_data();
    void leftCopiesAreOfferedNewestFirstUntilOneIsRestored();
};

void DocumentSessionTest::promptOnlyForAChangedDocumentNamingItsFile()
{
    SessionHarness h;
    QVERIFY(!h.session.msgHozon()); // unchanged: no box
    h.edit(QStringLiteral("x"));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("page.qrnf")));
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    h.edit(QStringLiteral("y"));
    h.boxes.expect(Box::AskToSave, false);
    QVERIFY(!h.session.msgHozon());
    QCOMPARE(h.boxes.calls.value(0).text, Prompt.arg(h.path(QStringLiteral("page.qrnf"))));
}

void DocumentSessionTest::saveUntitledAsksForANameAndFollowsTheFile()
{
    SessionHarness h;
    QTemporaryDir site;
    const QString file = site.filePath(QStringLiteral("page.qrnf"));
    QSignalSpy moved(&h.session, &DocumentSession::workFolderChanged);
    h.edit(QStringLiteral("＜ページ＞"));
    QVERIFY(QFile::exists(h.scratch(h.dir.path())));
    h.dialogs.chooseFile(Dlg::SaveDialog, file);
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(h.dialogs.calls.value(0).filter, SaveFilter);
    QCOMPARE(readAllBytes(file), sjis(QStringLiteral("＜ページ＞\r\n")));
    verifyState(h, site.path(), file, false);
    QCOMPARE(moved.size(), 1);
    QVERIFY(!QFile::exists(h.scratch(h.dir.path()))); // the old folder's scratch file went

    // A known file is written without a dialog.
    h.edit(QStringLiteral("二度目"));
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(file), sjis(QStringLiteral("二度目\r\n")));
}

void DocumentSessionTest::saveOfANameWithoutExtensionAddsIt()
{
    // The open dialog's filters would hide a document saved without an extension.
    SessionHarness h;
    h.edit(QStringLiteral("x"));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("noext")));
    QCOMPARE(h.session.saveAs(), SaveOutcome::Saved);
    QCOMPARE(h.session.DocPath(), h.path(QStringLiteral("noext.qrnf")));
    QVERIFY(QFile::exists(h.path(QStringLiteral("noext.qrnf"))));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("page")));
    h.session.exportHtml();
    QVERIFY(QFile::exists(h.path(QStringLiteral("page.html"))));
}


void DocumentSessionTest::saveFailuresNameTheirCause_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("sizeLimit");
    QTest::addColumn<QString>("cause");
    QTest::newRow("disk full") << QStringLiteral("full.qrnf") << 4096 << QStringLiteral("ディスクの空き容量が足りません");
    QTest::newRow("folder missing") << QStringLiteral("gone/a.qrnf") << 0 << QStringLiteral("フォルダが見つかりません");
    QTest::newRow("name too long") << QString(300, QLatin1Char('n')) << 0 << QStringLiteral("このファイル名は使えません");
    QTest::newRow("a folder in the way") << QStringLiteral("sub.qrnf") << 0 << QStringLiteral("フォルダです");
}

void DocumentSessionTest::saveFailuresNameTheirCause()
{
    QFETCH(QString, name);
    QFETCH(int, sizeLimit);
    QFETCH(QString, cause);
    SessionHarness h;
    QVERIFY(QDir(h.dir.path()).mkdir(QStringLiteral("sub.qrnf")));
    h.edit(QString(3000, QChar(0x3042)));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(name));
    h.boxes.expect(Box::Error);
    {
        std::optional<FileSizeLimit> limit;
        if (sizeLimit > 0)
            limit.emplace(sizeLimit);
        QCOMPARE(h.session.saveAs(), SaveOutcome::Failed);
    }
    const QString text = h.boxes.calls.value(0).text;
    QVERIFY2(text.contains(h.path(name)) && text.contains(cause), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("Unknown error")), qPrintable(text));
}

void DocumentSessionTest::charactersShiftJisCannotHoldAreReplacedOnlyWhenTheUserAgrees()
{
    SessionHarness h;
    h.edit(QStringLiteral("顔😀と€〜"));
    // Cancel: nothing written, nothing changed.
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("a.qrnf")));
    h.boxes.expectChoice(2);
    QCOMPARE(h.session.save(), SaveOutcome::Declined);
    const ScriptedMessageBoxes::Call question = h.boxes.calls.value(0);
    QVERIFY2(question.text.contains(QStringLiteral(" 2 ")) && question.text.contains(QStringLiteral("😀")),
             qPrintable(question.text));
    QCOMPARE(question.defaultButton, 0); // saving as UTF-8 loses nothing
    QVERIFY(!QFile::exists(h.path(QStringLiteral("a.qrnf"))));
    verifyState(h, h.dir.path(), QString(), true);

    // Replace: "?" in their place; the wave dash of a Linux input method is no such character.
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("a.qrnf")));
    h.boxes.expectChoice(1);
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(h.path(QStringLiteral("a.qrnf"))), sjis(QStringLiteral("顔?と?～\r\n")));
    QCOMPARE(h.session.format().encoding, TextEncoding::ShiftJis);

    // UTF-8: every character kept, and the document stays UTF-8 from then on.
    h.edit(QStringLiteral("顔😀"));
    h.boxes.expectChoice(0);
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(h.path(QStringLiteral("a.qrnf"))), QStringLiteral("顔😀\r\n").toUtf8());
    QCOMPARE(h.session.format().encoding, TextEncoding::Utf8);

    // The writer itself never asks; the exported page keeps such characters as references.
    h.edit(QStringLiteral("顔😀と€"));
    QVERIFY(h.session.JapSave(h.path(QStringLiteral("b.qrnf"))).ok);
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("a.html")));
    h.session.exportHtml();
    QCOMPARE(readAllBytes(h.path(QStringLiteral("a.html"))), sjis(QStringLiteral("顔&#x1F600;と&#x20AC;\r\n")));
}



void DocumentSessionTest::undecodableBytesAreReportedAndCountAsAChange()
{
    SessionHarness h;
    const QString path = h.path(QStringLiteral("broken.qrnf"));
    QVERIFY(writeBytes(path, sjis(QStringLiteral("一行目\r\n二行目")) + "\xA0\xA0"));
    h.dialogs.chooseFile(Dlg::OpenDialog, path);
    h.boxes.expect(Box::Information);
    h.session.open();
    const QString message = h.boxes.calls.value(0).text;
    QVERIFY2(message.contains(path) && message.contains(QStringLiteral(" 2 ")) && message.contains(QStringLiteral("2 行目")),
             qPrintable(message));
    QCOMPARE(h.text.value, QStringLiteral("一行目\r\n二行目\uFFFD\uFFFD"));
    QVERIFY(h.session.DocChanged());
    QCOMPARE(readAllBytes(path), sjis(QStringLiteral("一行目\r\n二行目")) + "\xA0\xA0");

    // An import says the same.
    QVERIFY(writeBytes(h.path(QStringLiteral("bad.html")), "<p>\xFF</p>"));
    h.boxes.expect(Box::AskToSave, false);
    h.dialogs.chooseFile(Dlg::OpenDialog, h.path(QStringLiteral("bad.html")));
    h.boxes.expect(Box::Information);
    h.session.importHtml();
    QVERIFY(h.boxes.calls.value(2).text.contains(QStringLiteral("bad.html")));
}

void DocumentSessionTest::exportIsWrittenInThePagesDeclaredCharset()
{
    SessionHarness h;
    h.edit(QStringLiteral("＜ページ＞＜ヘッド＞＜メタ情報　文字コード＝「utf-8」＞＜ヘッド終わり＞日本語😀"));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("page.html")));
    h.session.exportHtml();
    const QByteArray page = readAllBytes(h.path(QStringLiteral("page.html")));
    QVERIFY2(page.contains("charset=\"utf-8\"") && page.contains(QStringLiteral("日本語😀").toUtf8()), page.constData());
}

void DocumentSessionTest::dialogsStartWhereTheDocumentIs()
{
    SessionHarness h;
    h.edit(QStringLiteral("一"));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("one.qrnf")));
    h.session.saveAs();
    h.edit(QStringLiteral("二"));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("two.qrnf")));
    h.session.saveAs();
    QCOMPARE(readAllBytes(h.path(QStringLiteral("one.qrnf"))), sjis(QStringLiteral("一\r\n")));
    QCOMPARE(readAllBytes(h.path(QStringLiteral("two.qrnf"))), sjis(QStringLiteral("二\r\n")));
    QCOMPARE(h.session.DocPath(), h.path(QStringLiteral("two.qrnf")));
    // The dialogs start where the document is: save as at its file, open and import in its folder.
    QCOMPARE(h.dialogs.calls.value(1).fileName, h.path(QStringLiteral("one.qrnf")));
    h.dialogs.cancel(Dlg::OpenDialog);
    h.session.open();
    QCOMPARE(h.dialogs.calls.value(2).fileName, h.dir.path());
    QCOMPARE(h.dialogs.calls.value(2).filter, OpenFilter);
    h.dialogs.cancel(Dlg::OpenDialog);
    h.session.importHtml();
    QCOMPARE(h.dialogs.calls.value(3).fileName, h.dir.path());
}

namespace {
enum Command { New, Open, Import, Exit };

// Runs a command that replaces the text (or ends the run) on a changed untitled document.
bool runCommand(SessionHarness &h, int command)
{
    switch (command) {
    case New: h.session.newDocument(); return true;
    case Open: h.session.open(); return true;
    case Import: h.session.importHtml(); return true;
    default: return h.session.settleForExit();
    }
}

void addCommandRows(const char *what)
{
    QTest::addColumn<int>("command");
    for (auto [name, command] : {std::pair{"new", New}, {"open", Open}, {"import", Import}, {"exit", Exit}})
        QTest::addRow("%s: %s", name, what) << int(command);
}
} // namespace

void DocumentSessionTest::commandsThatReplaceTheTextStopWhenTheSaveDidNotHappen_data()
{
    addCommandRows("declined or failed");
}

void DocumentSessionTest::commandsThatReplaceTheTextStopWhenTheSaveDidNotHappen()
{
    // The user asked for the text to be kept: a declined replacement or a failed write stops the
    // command, with the text and its state as they were and nothing written.
    QFETCH(int, command);
    SessionHarness h;
    h.edit(QStringLiteral("大事な文😀"));
    h.boxes.expect(Box::AskToSave, true);
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("a.qrnf")));
    h.boxes.expectChoice(2);
    QCOMPARE(runCommand(h, command), command != Exit);
    QCOMPARE(h.text.value, QStringLiteral("大事な文😀"));
    verifyState(h, h.dir.path(), QString(), true);
    QVERIFY(!QFile::exists(h.path(QStringLiteral("a.qrnf"))));

    h.boxes.expect(Box::AskToSave, true);
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("missing/a.qrnf")));
    h.boxes.expectChoice(1);
    h.boxes.expect(Box::Error);
    QCOMPARE(runCommand(h, command), command != Exit);
    QCOMPARE(h.text.value, QStringLiteral("大事な文😀"));
    verifyState(h, h.dir.path(), QString(), true);
}

void DocumentSessionTest::commandsThatReplaceTheTextGoOnAfterNoOrACancelledDialog_data()
{
    addCommandRows("no, then a cancelled save dialog");
}

void DocumentSessionTest::commandsThatReplaceTheTextGoOnAfterNoOrACancelledDialog()
{
    QFETCH(int, command);
    SessionHarness h;
    for (bool answerYes : {false, true}) {
        h.edit(QStringLiteral("捨てる"));
        h.boxes.expect(Box::AskToSave, answerYes);
        if (answerYes)
            h.dialogs.cancel(Dlg::SaveDialog);
        if (command == Open || command == Import)
            h.dialogs.cancel(Dlg::OpenDialog); // the command goes on to its own dialog
        QVERIFY(runCommand(h, command));
        if (command == New)
            QCOMPARE(h.text.value, Template);
    }
    QCOMPARE(h.boxes.calls.value(0).text, Prompt.arg(QStringLiteral("QRNドキュメント")));
}

void DocumentSessionTest::openReadsTheFileUnconvertedAndAPlainSaveWritesItBack()
{
    SessionHarness h;
    QTemporaryDir site;
    const QString page = site.filePath(QStringLiteral("index.html"));
    QVERIFY(writeBytes(page, "<HTML><BODY>x</BODY></HTML>\r\n"));
    h.dialogs.chooseFile(Dlg::OpenDialog, page);
    h.session.open();
    QCOMPARE(h.text.value, QStringLiteral("<HTML><BODY>x</BODY></HTML>"));
    verifyState(h, site.path(), page, false);
    QVERIFY(!QFile::exists(h.scratch(h.dir.path())));
    QVERIFY(QFile::exists(h.scratch(site.path())));

    h.edit(QStringLiteral("＜ページ＞"));
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(page), sjis(QStringLiteral("＜ページ＞\r\n")));
}

void DocumentSessionTest::openOfAMissingFileStartsItOrSaysWhyNot()
{
    SessionHarness h;
    // In a folder that is not there: an error naming the file, and nothing changes.
    const QString lost = h.path(QStringLiteral("nowhere/gone.qrnf"));
    h.dialogs.chooseFile(Dlg::OpenDialog, lost);
    h.boxes.expect(Box::Error);
    h.session.open();
    QVERIFY(h.boxes.calls.value(0).text.contains(lost));
    QCOMPARE(h.text.value, Template);
    verifyState(h, h.dir.path(), QString(), false);
    QVERIFY(QFile::exists(h.scratch(h.dir.path())));

    // Named relative to the current folder, not there yet: an empty document of that name, kept
    // as an absolute path, that a plain save writes without a dialog.
    QTemporaryDir site;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(site.path()));
    h.session.openFile(QStringLiteral("new.qrnf"));
    QVERIFY(QDir::setCurrent(before));
    const QString created = QFileInfo(site.filePath(QStringLiteral("new.qrnf"))).absoluteFilePath();
    QCOMPARE(h.text.value, QString());
    verifyState(h, QFileInfo(created).absolutePath(), created, false);
    h.edit(QStringLiteral("新しい文"));
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(created), sjis(QStringLiteral("新しい文\r\n")));
}


void DocumentSessionTest::exportWritesConvertedHtmlAndTakesItsName()
{
    SessionHarness h;
    QTemporaryDir site;
    const QString page = site.filePath(QStringLiteral("index.html"));
    h.dialogs.chooseFile(Dlg::SaveDialog, page);
    h.session.exportHtml();
    QCOMPARE(h.dialogs.calls.value(0).filter, HtmlFilter);
    QCOMPARE(h.dialogs.calls.value(0).fileName, h.dir.path() + QDir::separator() + QStringLiteral("*.html"));
    QCOMPARE(readAllBytes(page), QByteArray("<html>\r\n      <head>\r\n          <title></title>\r\n      </head>\r\n"
                                            "      <body bgcolor=\"white\">\r\n      <font color=\"black\">\r\n\r\n"
                                            "      </font>\r\n      </body>\r\n</html>\r\n"));
    verifyState(h, site.path(), page, false);
    QVERIFY(!QFile::exists(h.scratch(h.dir.path())));

    // A plain save then writes the Japanese tags into that same file.
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(page), sjis(Template + QStringLiteral("\r\n")));
}

void DocumentSessionTest::exportCancelledOrFailedChangesNothing()
{
    SessionHarness h;
    h.dialogs.cancel(Dlg::SaveDialog);
    h.session.exportHtml();
    QCOMPARE(h.dialogs.FileName, h.dir.path()); // the next dialog starts in the work folder
    h.dialogs.cancel(Dlg::OpenDialog);
    h.session.importHtml();
    QCOMPARE(h.dialogs.calls.value(1).fileName, h.dir.path());

    h.edit(QStringLiteral("x"));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("missing/x.html")));
    h.boxes.expect(Box::Error);
    h.session.exportHtml();
    QVERIFY(h.boxes.calls.value(0).text.contains(h.path(QStringLiteral("missing/x.html"))));
    verifyState(h, h.dir.path(), QString(), true);
    QVERIFY(QFile::exists(h.scratch(h.dir.path())));
}

void DocumentSessionTest::importConvertsHtmlIntoAnUntitledChangedDocument()
{
    SessionHarness h;
    QTemporaryDir site;
    const QString page = site.filePath(QStringLiteral("in.htm"));
    QVERIFY(writeBytes(page, "<HTML>\r\n<BODY BGCOLOR=\"White\" TEXT=\"black\">\r<P ALIGN=LEFT>x</P>\r\n</BODY></HTML>\r\n"));
    h.edit(QStringLiteral("x"));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("old.qrnf")));
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    h.edit(QStringLiteral("unsaved"));
    // Unsaved work is not replaced without the question.
    h.boxes.expect(Box::AskToSave, true);
    h.dialogs.chooseFile(Dlg::OpenDialog, page);
    h.session.importHtml();
    QCOMPARE(readAllBytes(h.path(QStringLiteral("old.qrnf"))), QByteArray("unsaved\r\n"));
    QCOMPARE(h.dialogs.calls.value(1).filter, HtmlFilter);
    QCOMPARE(h.text.value, QStringLiteral("＜ページ＞\r\n＜全体　背景色＝「White」　文字色＝「黒」＞\r\n＜段落　配置＝左＞x＜段落終わり＞\r\n"
                                          "＜全体終わり＞＜ページ終わり＞"));
    verifyState(h, site.path(), QString(), true);
    QVERIFY(!QFile::exists(h.scratch(h.dir.path())));
    QVERIFY(QFile::exists(h.scratch(site.path())));
}

void DocumentSessionTest::importOfAnEmptyOrUnreadableFile()
{
    SessionHarness h;
    h.dialogs.chooseFile(Dlg::OpenDialog, h.path(QStringLiteral("none.html")));
    h.boxes.expect(Box::Error);
    h.session.importHtml();
    QVERIFY(QFile::exists(h.scratch(h.dir.path())));
    QCOMPARE(h.text.value, Template);

    QVERIFY(writeBytes(h.path(QStringLiteral("empty.html")), ""));
    h.dialogs.chooseFile(Dlg::OpenDialog, h.path(QStringLiteral("empty.html")));
    h.session.importHtml();
    QCOMPARE(h.text.value, QString());
    QVERIFY(h.session.DocPath().isEmpty());
}


void DocumentSessionTest::fileChangedByAnotherProgramIsNotOverwrittenUnasked_data()
{
    QTest::addColumn<int>("answer"); // 0 上書き, 1 名前を付けて保存, 2 キャンセル, -1 closed
    QTest::addColumn<bool>("overwritten");
    QTest::newRow("overwrite") << 0 << true;
    QTest::newRow("save under another name") << 1 << false;
    QTest::newRow("cancel") << 2 << false;
    QTest::newRow("closed") << -1 << false;
}

void DocumentSessionTest::fileChangedByAnotherProgramIsNotOverwrittenUnasked()
{
    QFETCH(int, answer);
    QFETCH(bool, overwritten);
    SessionHarness h;
    const QString page = h.path(QStringLiteral("page.qrnf"));
    const QByteArray theirs = sjis(QStringLiteral("元の文\r\n他のプログラムが足した行\r\n"));
    QVERIFY(writeBytes(page, sjis(QStringLiteral("元の文\r\n"))));
    h.session.openFile(page);

    // Touched without a change of its bytes: saved as usual.
    {
        QFile file(page);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    }
    QCOMPARE(h.session.reloadIfChangedOnDisk(), DocumentSession::DiskChange::None);

    // Changed behind an unmodified document: read again.
    QVERIFY(writeBytes(page, theirs));
    QCOMPARE(h.session.reloadIfChangedOnDisk(), DocumentSession::DiskChange::Reloaded);
    QCOMPARE(h.text.value, ShiftJisCodec::decode(theirs).chopped(2));
    QVERIFY(!h.session.DocChanged());

    // Changed again behind a modified one: said, kept, and asked about before a save.
    QVERIFY(writeBytes(page, theirs + "more\r\n"));
    h.edit(QStringLiteral("私の文"));
    QCOMPARE(h.session.reloadIfChangedOnDisk(), DocumentSession::DiskChange::ChangedOnDisk);
    h.boxes.expectChoice(answer);
    if (answer == 1)
        h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("mine.qrnf")));
    const SaveOutcome outcome = h.session.save();
    QCOMPARE(h.boxes.calls.constLast().text,
             QStringLiteral("ファイル「%1」は他のプログラムで変更されています。上書きしますか？").arg(page));
    QCOMPARE(outcome, answer <= 1 && answer >= 0 ? SaveOutcome::Saved : SaveOutcome::Declined);
    QCOMPARE(readAllBytes(page), overwritten ? sjis(QStringLiteral("私の文\r\n")) : theirs + "more\r\n");
    if (answer == 1)
        QCOMPARE(readAllBytes(h.path(QStringLiteral("mine.qrnf"))), sjis(QStringLiteral("私の文\r\n")));
}

// The preview's scratch file of a folder belongs to every run that previews there: a run leaving
// leaves it to another live one, and one that no live run uses goes when a run moves in.
void DocumentSessionTest::scratchFilesOfOtherLiveRunsStay()
{
    SessionHarness h;
    QTemporaryDir site;
    QStringList usedElsewhere;
    h.session.setOtherRunUses([&](const QString &folder) { return usedElsewhere.contains(folder); });
    const QString page = site.filePath(QStringLiteral("page.qrnf"));
    QVERIFY(writeBytes(page, "x\r\n") && writeBytes(h.scratch(site.path()), "left by a run that ended"));
    usedElsewhere << h.dir.path();
    h.session.openFile(page);
    QCOMPARE(readAllBytes(h.scratch(site.path())), QByteArray("scratch")); // the leftover went as the run moved in
    QVERIFY(QFile::exists(h.scratch(h.dir.path()))); // another live run previews there
    usedElsewhere = {site.path()};
    h.edit(QStringLiteral("y"));
    h.boxes.expect(Box::AskToSave, false);
    QVERIFY(h.session.settleForExit());
    QVERIFY(QFile::exists(h.scratch(site.path())));
}

void DocumentSessionTest::recoveryCopyFollowsUnsavedChanges()
{
    SessionHarness h;
    QTemporaryDir folder;
    DocumentRecovery recovery(h.session, h.text, folder.path(), nullptr, 300);
    const auto copies = [&] { return QDir(folder.path()).entryList({QStringLiteral("*.qrnr")}, QDir::Files); };

    // Not on the keystroke path, and not put off by typing that goes on: the copy comes within
    // the interval of the first change although a key follows every 50 ms.
    h.edit(QStringLiteral("一"));
    QVERIFY(copies().isEmpty());
    for (int i = 0; i < 40 && copies().isEmpty(); ++i) {
        QTest::qWait(50);
        h.edit(h.text.value + QStringLiteral("字"));
    }
    QCOMPARE(copies().size(), 1);

    // Another run sees it only once this one has ended.
    RecoveryStore other(folder.path());
    QVERIFY(other.start());
    QVERIFY(other.orphans().empty());

    // A save leaves nothing to recover; so does No to saving, the user's own choice.
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("a.qrnf")));
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QVERIFY(copies().isEmpty());
    h.edit(QStringLiteral("二字目"));
    recovery.saveNow();
    QCOMPARE(copies().size(), 1);
    h.boxes.expect(Box::AskToSave, false);
    h.session.newDocument();
    QVERIFY(copies().isEmpty());

    // Told to end with unsaved changes: the copy is written at once and nothing removes it.
    h.edit(QStringLiteral("三字目"));
    recovery.holdForExit();
    h.boxes.expect(Box::AskToSave, false);
    h.session.newDocument();
    QCOMPARE(copies().size(), 1);
}

// Two copies left by runs that ended (one under a lock file naming this very process, as a PID
// used again would), and one of a run still going, which is never offered.
void DocumentSessionTest::leftCopiesAreOfferedNewestFirstUntilOneIsRestored_data()
{
    QTest::addColumn<QList<int>>("answers"); // per question: 0 復元する, 1 破棄する, 2 後で, -1 closed, -2 ended
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("left");
    QTest::newRow("closed twice") << QList<int>{-1, -1} << Template << 2;
    QTest::newRow("later twice") << QList<int>{2, 2} << Template << 2;
    QTest::newRow("newest restored") << QList<int>{0} << QStringLiteral("新しい文\r\n二行目") << 1;
    QTest::newRow("newest discarded, oldest restored") << QList<int>{1, 0} << QStringLiteral("古い文") << 0;
    QTest::newRow("ended while asking") << QList<int>{-2} << Template << 2;
}

void DocumentSessionTest::leftCopiesAreOfferedNewestFirstUntilOneIsRestored()
{
    QFETCH(QList<int>, answers);
    QTemporaryDir folder;
    const QString lostFile = folder.filePath(QStringLiteral("gone/old.qrnf"));
    {
        RecoveryStore older(folder.path()), newer(folder.path());
        QVERIFY(older.start() && newer.start());
        QVERIFY(older.save({QStringLiteral("古い文"), lostFile, TextFormat(TextEncoding::Utf8), {}, {}}).ok);
        QVERIFY(newer.save({QStringLiteral("新しい文\r\n二行目"), QString(), TextFormat(), {}, {}}).ok);
        const std::vector<RecoveryCopy> both = RecoveryStore(folder.path()).orphans();
        QCOMPARE(both.size(), std::size_t(0)); // alive
    }
    // Dates the copies an hour apart and gives the older a lock file naming this process.
    const std::vector<RecoveryCopy> found = [&] { RecoveryStore s(folder.path()); return s.orphans(); }();
    QCOMPARE(found.size(), std::size_t(2));
    for (const RecoveryCopy &copy : found) {
        QFile file(folder.filePath(copy.id + QStringLiteral(".qrnr")));
        QVERIFY(file.open(QIODevice::ReadWrite));
        const bool older = copy.text == QStringLiteral("古い文");
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(older ? -3600 : -60), QFileDevice::FileModificationTime));
        if (older)
            QVERIFY(writeBytes(folder.filePath(copy.id + QStringLiteral(".lock")),
                               QByteArray::number(QCoreApplication::applicationPid()) + "\nqrn\n\n"));
    }
    RecoveryStore alive(folder.path());
    QVERIFY(alive.start());
    QVERIFY(alive.save({QStringLiteral("よその文"), QString(), TextFormat(), {}, {}}).ok);

    SessionHarness h;
    DocumentRecovery recovery(h.session, h.text, folder.path());
    for (int answer : answers) {
        if (answer == -2)
            h.boxes.expectInterrupted(Box::AskChoice, [&] { h.session.endWithoutQuestions(); });
        else
            h.boxes.expectChoice(answer);
    }
    if (answers.endsWith(0) && answers.size() == 2)
        h.boxes.expect(Box::Information); // the old copy's folder is gone: restored untitled
    recovery.askToRestoreLeftCopies(h.boxes, nullptr);
    QTEST(h.text.value, "text");
    const Box::Call &first = h.boxes.calls.constFirst();
    QVERIFY2(first.text.contains(QStringLiteral("「QRNドキュメント」")) && first.text.contains(QStringLiteral("新しい文"))
                 && first.text.contains(QDateTime::currentDateTime().addSecs(-60).toString(QStringLiteral("yyyy/MM/dd"))),
             qPrintable(first.text));
    QCOMPARE(first.buttons, (QStringList{QStringLiteral("復元する(&R)"), QStringLiteral("破棄する(&D)"), QStringLiteral("後で(&L)")}));
    QCOMPARE(first.defaultButton, 0);
    if (h.text.value != Template) {
        QVERIFY(h.session.DocChanged());
        QCOMPARE(h.session.DocPath(), QString()); // the old one's folder is gone
    }
    QTEST(int(RecoveryStore(folder.path()).orphans().size()), "left");
}

QTEST_GUILESS_MAIN(DocumentSessionTest)
#include "DocumentSessionTest.moc"
