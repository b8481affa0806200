// The document's life without a window or a browser: every outcome of new, open, save, save as,
// export and import, with scripted answers. The exit is tested with the window, in DocumentsTest.

#include "UiTestSupport.h"

#include <support/FileSizeLimit.h>

#include <core/HenkanMod.h>
#include <core/NewDocumentTemplate.h>
#include <document/DocumentRecovery.h>
#include <document/DocumentSession.h>
#include <document/DocumentText.h>
#include <storage/RecoveryStore.h>

#include <QtTest>

using namespace qrn;
using namespace qrn::test;

namespace {
using Box = ScriptedMessageBoxes;
using Dlg = ScriptedDialogs;

const QString HtmlFilter = QStringLiteral("HTMLファイル|*.html;*.htm");
const QString Prompt = QStringLiteral("ファイル\"%1\"は変更されています、変更を保存しますか？");
const QString Template = fromU16(NewDocumentTemplate());

// The editor as the session sees it: setting the text runs the change handling, as typing does.
class FakeText : public DocumentText {
public:
    std::function<void()> changed;
    QString value;
    QString text() const override { return value; }
    void setText(const QString &text) override { value = text; changed(); }
};

// A session on fakes over a program folder with the delivered dictionary, started as the window
// starts it (a new document from the template), and a folder for the user's pages. A box or
// dialog unscripted or not shown fails.
struct SessionHarness {
    QTemporaryDir dir, site;
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
            // The window's preview writes the scratch file into the work folder at every change;
            // appended here, so that a leftover that should have gone shows.
            const QString file = scratch(session.WorkFolder());
            writeBytes(file, readAllBytes(file) + "scratch");
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
};

// The state a command left: text, work folder, file, changed flag.
const QString Changed = QStringLiteral("changed"), Unchanged = QStringLiteral("unchanged");
QStringList state(const SessionHarness &h)
{
    return {h.text.value, h.session.WorkFolder(), h.session.DocPath(), h.session.DocChanged() ? Changed : Unchanged};
}

enum Command { New, Open, Import };
} // namespace

class DocumentSessionTest : public QObject {
    Q_OBJECT

private slots:
    void saveFollowsTheFileAndAsksBeforeReplacingCharacters();
    void saveFailuresNameTheirCause_data();
    void saveFailuresNameTheirCause();
    void commandsThatReplaceTheTextSettleUnsavedChangesFirst_data();
    void commandsThatReplaceTheTextSettleUnsavedChangesFirst();
    void openReadsTheFileUnconvertedOrSaysWhatWentWrong();
    void exportWritesThePageInItsCharsetAndTakesItsName();
    void importConvertsHtmlIntoAnUntitledChangedDocument();
    void fileChangedByAnotherProgramIsNotOverwrittenUnasked_data();
    void fileChangedByAnotherProgramIsNotOverwrittenUnasked();
    void recoveryCopyFollowsUnsavedChanges();
    void leftCopiesAreOfferedNewestFirstUntilOneIsRestored_data();
    void leftCopiesAreOfferedNewestFirstUntilOneIsRestored();
};

// An untitled save asks for a name (adding the extension the open dialog's filter needs) and the
// work folder follows the file; after that the prompt names the file, save as and open start where
// the document is, and characters Shift_JIS cannot hold are replaced only when the user agrees.
void DocumentSessionTest::saveFollowsTheFileAndAsksBeforeReplacingCharacters()
{
    SessionHarness h;
    const QString file = h.site.filePath(QStringLiteral("page.qrnf")), other = h.site.filePath(QStringLiteral("other.qrnf"));
    h.edit(QStringLiteral("＜ページ＞"));
    h.dialogs.chooseFile(Dlg::SaveDialog, h.site.filePath(QStringLiteral("page")));
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(h.dialogs.calls.value(0).filter, QStringLiteral("日本語タグファイル|*.qrnf"));
    QCOMPARE(readAllBytes(file), sjis(QStringLiteral("＜ページ＞\r\n")));
    QCOMPARE(state(h), (QStringList{QStringLiteral("＜ページ＞"), h.site.path(), file, Unchanged}));
    QVERIFY(!QFile::exists(h.scratch(h.dir.path()))); // the old folder's scratch file went

    h.edit(QStringLiteral("二度目"));
    h.boxes.expect(Box::AskToSave, false);
    QVERIFY(!h.session.msgHozon());
    QCOMPARE(h.boxes.calls.value(0).text, Prompt.arg(file));
    h.dialogs.chooseFile(Dlg::SaveDialog, other);
    QCOMPARE(h.session.saveAs(), SaveOutcome::Saved);
    QCOMPARE(h.dialogs.calls.value(1).fileName, file);
    QCOMPARE(h.session.DocPath(), other);
    QVERIFY(QFile::exists(h.scratch(h.site.path()))); // saved in the same folder: the preview's file stays
    h.dialogs.cancel(Dlg::OpenDialog);
    h.session.open();
    QCOMPARE(h.dialogs.calls.value(2).fileName, h.site.path());
    QCOMPARE(h.dialogs.calls.value(2).filter,
             QStringLiteral("使用可能なページファイル|*.htm;*.html;*.qrnf|日本語タグファイル|*.qrnf|HTMLファイル|*.html;*.htm"));

    // Cancel, replace, or save as UTF-8.
    h.edit(QStringLiteral("顔😀と€〜"));
    h.boxes.expectChoice(2);
    QCOMPARE(h.session.save(), SaveOutcome::Declined);
    const Box::Call question = h.boxes.calls.value(1);
    QVERIFY2(question.text.contains(QStringLiteral(" 2 ")) && question.text.contains(QStringLiteral("😀")), qPrintable(question.text));
    QCOMPARE(question.defaultButton, 0); // saving as UTF-8 loses nothing
    // Replace: "?" in their place; the wave dash of a Linux input method is no such character.
    h.boxes.expectChoice(1);
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(other), sjis(QStringLiteral("顔?と?～\r\n")));
    // UTF-8: every character kept, and the document stays UTF-8 from then on.
    h.edit(QStringLiteral("顔😀"));
    h.boxes.expectChoice(0);
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(other), QStringLiteral("顔😀\r\n").toUtf8());
    QCOMPARE(h.session.format().encoding, TextEncoding::Utf8);
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
        const FileSizeLimit limit(sizeLimit > 0 ? rlim_t(sizeLimit) : RLIM_INFINITY);
        QCOMPARE(h.session.saveAs(), SaveOutcome::Failed);
    }
    const QString text = h.boxes.calls.value(0).text;
    QVERIFY2(text.contains(h.path(name)) && text.contains(cause) && !text.contains(QStringLiteral("Unknown error")), qPrintable(text));
}

void DocumentSessionTest::commandsThatReplaceTheTextSettleUnsavedChangesFirst_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("answer");
    const char *const answers[] = {"no", "yes, dialog cancelled", "yes, saved", "yes, characters kept", "yes, write fails"};
    for (auto [name, command] : {std::pair{"new", New}, {"open", Open}, {"import", Import}})
        for (int answer = 0; answer < int(std::size(answers)); ++answer)
            QTest::addRow("%s: %s", name, answers[answer]) << int(command) << answer;
}

// The question names the untitled document. No, or a cancelled save dialog, goes on as the user
// chose; a save that did not happen stops the command, with the text and its state as they were.
void DocumentSessionTest::commandsThatReplaceTheTextSettleUnsavedChangesFirst()
{
    QFETCH(int, command);
    QFETCH(int, answer);
    SessionHarness h;
    const QString text = QStringLiteral("大事な文😀");
    h.edit(text);
    h.boxes.expect(Box::AskToSave, answer > 0);
    if (answer == 1)
        h.dialogs.cancel(Dlg::SaveDialog);
    if (answer >= 2) {
        h.dialogs.chooseFile(Dlg::SaveDialog, h.path(answer == 4 ? QStringLiteral("missing/a.qrnf") : QStringLiteral("a.qrnf")));
        h.boxes.expectChoice(answer == 3 ? 2 : 1); // cancel, or replace them
    }
    if (answer == 4)
        h.boxes.expect(Box::Error);
    const bool goesOn = answer < 3;
    if (goesOn && command != New)
        h.dialogs.cancel(Dlg::OpenDialog); // the command's own dialog
    command == New ? h.session.newDocument() : command == Open ? h.session.open() : h.session.importHtml();
    QCOMPARE(h.boxes.calls.value(0).text, Prompt.arg(QStringLiteral("QRNドキュメント")));
    QCOMPARE(QFile::exists(h.path(QStringLiteral("a.qrnf"))), answer == 2);
    if (!goesOn)
        QCOMPARE(state(h), (QStringList{text, h.dir.path(), QString(), Changed}));
    else if (command == New)
        QCOMPARE(h.text.value, Template);
}

void DocumentSessionTest::openReadsTheFileUnconvertedOrSaysWhatWentWrong()
{
    SessionHarness h;
    const QString page = h.site.filePath(QStringLiteral("index.html"));
    const QString html = QStringLiteral("<HTML><BODY>x</BODY></HTML>");
    QVERIFY(writeBytes(page, html.toLatin1() + "\r\n"));
    h.dialogs.chooseFile(Dlg::OpenDialog, page);
    h.session.open();
    QCOMPARE(state(h), (QStringList{html, h.site.path(), page, Unchanged}));
    QVERIFY(QFile::exists(h.scratch(h.site.path()))); // the preview writes in the new work folder

    // In a folder that is not there: an error naming the file, and nothing changes.
    const QString lost = h.path(QStringLiteral("nowhere/gone.qrnf"));
    h.dialogs.chooseFile(Dlg::OpenDialog, lost);
    h.boxes.expect(Box::Error);
    h.session.open();
    QVERIFY(h.boxes.calls.value(0).text.contains(lost));
    QCOMPARE(state(h), (QStringList{html, h.site.path(), page, Unchanged}));

    // Named relative to the current folder, not there yet: an empty document of that name, kept
    // as an absolute path, that a plain save writes without a dialog.
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(h.dir.path()));
    h.session.openFile(QStringLiteral("new.qrnf"));
    QVERIFY(QDir::setCurrent(before));
    const QString created = QFileInfo(h.path(QStringLiteral("new.qrnf"))).absoluteFilePath();
    QCOMPARE(state(h), (QStringList{QString(), QFileInfo(created).absolutePath(), created, Unchanged}));
    h.edit(QStringLiteral("新しい文"));
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(created), sjis(QStringLiteral("新しい文\r\n")));

    // Bytes that do not decode: said, and the document counts as changed. An import says the
    // same, and leaves the document untitled.
    const QString broken = h.path(QStringLiteral("broken.qrnf"));
    QVERIFY(writeBytes(broken, sjis(QStringLiteral("一行目\r\n二行目")) + "\xA0\xA0"));
    h.dialogs.chooseFile(Dlg::OpenDialog, broken);
    h.boxes.expect(Box::Information);
    h.session.open();
    const QString message = h.boxes.calls.value(1).text;
    QVERIFY2(message.contains(broken) && message.contains(QStringLiteral(" 2 ")) && message.contains(QStringLiteral("2 行目")),
             qPrintable(message));
    QCOMPARE(state(h), (QStringList{QStringLiteral("一行目\r\n二行目\uFFFD\uFFFD"), h.dir.path(), broken, Changed}));
    QCOMPARE(readAllBytes(broken), sjis(QStringLiteral("一行目\r\n二行目")) + "\xA0\xA0"); // not written over
    QVERIFY(writeBytes(h.path(QStringLiteral("bad.html")), "<p>\xFF</p>"));
    h.boxes.expect(Box::AskToSave, false);
    h.dialogs.chooseFile(Dlg::OpenDialog, h.path(QStringLiteral("bad.html")));
    h.boxes.expect(Box::Information);
    h.session.importHtml();
    QVERIFY(h.boxes.calls.value(3).text.contains(QStringLiteral("bad.html")));
    QCOMPARE(h.session.DocPath(), QString());
}

void DocumentSessionTest::exportWritesThePageInItsCharsetAndTakesItsName()
{
    SessionHarness h;
    const QString page = h.site.filePath(QStringLiteral("index.html"));
    h.edit(QStringLiteral("＜ページ＞"));
    // Failed: said, and nothing changes.
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("missing/x.html")));
    h.boxes.expect(Box::Error);
    h.session.exportHtml();
    QVERIFY(h.boxes.calls.value(0).text.contains(h.path(QStringLiteral("missing/x.html"))));
    QCOMPARE(state(h), (QStringList{QStringLiteral("＜ページ＞"), h.dir.path(), QString(), Changed}));

    // Written, under a name typed without an extension: the page becomes the document's file.
    h.dialogs.chooseFile(Dlg::SaveDialog, h.site.filePath(QStringLiteral("index")));
    h.session.exportHtml();
    QCOMPARE(h.dialogs.calls.value(1).filter, HtmlFilter);
    QCOMPARE(h.dialogs.calls.value(1).fileName, h.dir.path() + QDir::separator() + QStringLiteral("*.html"));
    QCOMPARE(state(h), (QStringList{QStringLiteral("＜ページ＞"), h.site.path(), page, Unchanged}));
    // A plain save then writes the Japanese tags, not the page, into that same file.
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(readAllBytes(page), sjis(QStringLiteral("＜ページ＞\r\n")));

    // The page is written in the charset it declares; what that charset cannot hold becomes references.
    const auto exported = [&](const QString &text) {
        h.edit(text);
        h.dialogs.chooseFile(Dlg::SaveDialog, page);
        h.session.exportHtml();
        return readAllBytes(page);
    };
    const QByteArray utf8 = exported(QStringLiteral("＜ページ＞＜ヘッド＞＜メタ情報　文字コード＝「utf-8」＞＜ヘッド終わり＞日本語😀"));
    QVERIFY2(utf8.contains("charset=\"utf-8\"") && utf8.contains(QStringLiteral("日本語😀").toUtf8()), utf8.constData());
    QCOMPARE(exported(QStringLiteral("顔😀と€")), sjis(QStringLiteral("顔&#x1F600;と&#x20AC;\r\n")));
    // Another program changes the page: the tags are in no file, so the page does not replace them.
    QVERIFY(writeBytes(page, "<p>changed</p>"));
    QCOMPARE(h.session.reloadIfChangedOnDisk(), DocumentSession::DiskChange::ChangedOnDisk);
    QCOMPARE(state(h).value(0), QStringLiteral("顔😀と€"));
}

// An import converts the page into an untitled, changed document in the page's folder. The
// preview's scratch file of a folder belongs to every run previewing there: one left by a run that
// ended goes as this run moves in; another live run's stays when this run leaves or ends.
void DocumentSessionTest::importConvertsHtmlIntoAnUntitledChangedDocument()
{
    SessionHarness h;
    // A file that cannot be read: said, and nothing changes.
    h.dialogs.chooseFile(Dlg::OpenDialog, h.path(QStringLiteral("none.html")));
    h.boxes.expect(Box::Error);
    h.session.importHtml();
    QCOMPARE(h.text.value, Template);

    QStringList usedElsewhere{h.dir.path()};
    h.session.setOtherRunUses([&](const QString &folder) { return usedElsewhere.contains(folder); });
    const QString page = h.site.filePath(QStringLiteral("in.htm"));
    QVERIFY(writeBytes(page, "<HTML>\r\n<BODY BGCOLOR=\"White\" TEXT=\"black\">\r<P ALIGN=LEFT>x</P>\r\n</BODY></HTML>\r\n")
            && writeBytes(h.scratch(h.site.path()), "left by a run that ended"));
    h.dialogs.chooseFile(Dlg::OpenDialog, page);
    h.session.importHtml();
    QCOMPARE(h.dialogs.calls.value(1).filter, HtmlFilter);
    QCOMPARE(state(h), (QStringList{QStringLiteral("＜ページ＞\r\n＜全体　背景色＝「White」　文字色＝「黒」＞\r\n＜段落　配置＝左＞x＜段落終わり＞\r\n"
                                                   "＜全体終わり＞＜ページ終わり＞"), h.site.path(), QString(), Changed}));
    QCOMPARE(readAllBytes(h.scratch(h.site.path())), QByteArray("scratch"));
    QVERIFY(QFile::exists(h.scratch(h.dir.path())));
    usedElsewhere = {h.site.path()};
    h.boxes.expect(Box::AskToSave, false);
    QVERIFY(h.session.settleForExit());
    QVERIFY(QFile::exists(h.scratch(h.site.path())));
}

void DocumentSessionTest::fileChangedByAnotherProgramIsNotOverwrittenUnasked_data()
{
    QTest::addColumn<int>("answer"); // 0 上書き, 1 名前を付けて保存, 2 キャンセル, -1 closed
    QTest::newRow("overwrite") << 0;
    QTest::newRow("save under another name") << 1;
    QTest::newRow("cancel") << 2;
    QTest::newRow("closed") << -1;
}

void DocumentSessionTest::fileChangedByAnotherProgramIsNotOverwrittenUnasked()
{
    QFETCH(int, answer);
    SessionHarness h;
    const QString page = h.path(QStringLiteral("page.qrnf"));
    const QByteArray theirs = sjis(QStringLiteral("元の文\r\n他のプログラムが足した行\r\n"));
    QVERIFY(writeBytes(page, sjis(QStringLiteral("元の文\r\n"))));
    h.session.openFile(page);

    // Touched without a change of its bytes: nothing to say.
    QFile touched(page);
    QVERIFY(touched.open(QIODevice::ReadWrite) && touched.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    QCOMPARE(h.session.reloadIfChangedOnDisk(), DocumentSession::DiskChange::None);

    // Changed behind an unmodified document: read again.
    QVERIFY(writeBytes(page, theirs));
    QCOMPARE(h.session.reloadIfChangedOnDisk(), DocumentSession::DiskChange::Reloaded);
    QCOMPARE(state(h), (QStringList{ShiftJisCodec::decode(theirs).chopped(2), h.dir.path(), page, Unchanged}));

    // Changed again behind a modified one: said, kept, and asked about before a save.
    QVERIFY(writeBytes(page, theirs + "more\r\n"));
    h.edit(QStringLiteral("私の文"));
    QCOMPARE(h.session.reloadIfChangedOnDisk(), DocumentSession::DiskChange::ChangedOnDisk);
    h.boxes.expectChoice(answer);
    if (answer == 1)
        h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("mine.qrnf")));
    QCOMPARE(h.session.save(), answer == 0 || answer == 1 ? SaveOutcome::Saved : SaveOutcome::Declined);
    QVERIFY(h.boxes.calls.constLast().text.contains(page));
    QCOMPARE(readAllBytes(page), answer == 0 ? sjis(QStringLiteral("私の文\r\n")) : theirs + "more\r\n");
    if (answer == 1)
        QCOMPARE(readAllBytes(h.path(QStringLiteral("mine.qrnf"))), sjis(QStringLiteral("私の文\r\n")));
}

void DocumentSessionTest::recoveryCopyFollowsUnsavedChanges()
{
    SessionHarness h;
    QTemporaryDir folder;
    DocumentRecovery recovery(h.session, h.text, folder.path(), nullptr, 300);
    const auto copies = [&] { return int(QDir(folder.path()).entryList({QStringLiteral("*.qrnr")}, QDir::Files).size()); };

    // Not on the keystroke path, and not put off by typing that goes on: the copy comes within
    // the interval of the first change although a key follows every 50 ms.
    h.edit(QStringLiteral("一"));
    QCOMPARE(copies(), 0);
    for (int i = 0; i < 40 && copies() == 0; ++i) {
        QTest::qWait(50);
        h.edit(h.text.value + QStringLiteral("字"));
    }
    QCOMPARE(copies(), 1);

    // A save leaves nothing to recover; so does No to saving, the user's own choice.
    h.dialogs.chooseFile(Dlg::SaveDialog, h.path(QStringLiteral("a.qrnf")));
    QCOMPARE(h.session.save(), SaveOutcome::Saved);
    QCOMPARE(copies(), 0);
    h.edit(QStringLiteral("二字目"));
    recovery.saveNow();
    QCOMPARE(copies(), 1);
    h.boxes.expect(Box::AskToSave, false);
    h.session.newDocument();
    QCOMPARE(copies(), 0);

    // Told to end with unsaved changes: the copy is written at once and nothing removes it.
    h.edit(QStringLiteral("三字目"));
    recovery.holdForExit();
    h.boxes.expect(Box::AskToSave, false);
    h.session.newDocument();
    QCOMPARE(copies(), 1);
}

// Two copies left by runs that ended (one under a lock file naming this very process, as a PID
// used again would), and one of a run still going, which is never offered.
void DocumentSessionTest::leftCopiesAreOfferedNewestFirstUntilOneIsRestored_data()
{
    QTest::addColumn<QList<int>>("answers"); // per question: 0 復元する, 1 破棄する, 2 後で, -1 closed
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("left");
    QTest::newRow("closed twice") << QList<int>{-1, -1} << Template << 2;
    QTest::newRow("later twice") << QList<int>{2, 2} << Template << 2;
    QTest::newRow("newest restored") << QList<int>{0} << QStringLiteral("新しい文\r\n二行目") << 1;
    QTest::newRow("newest discarded, oldest restored") << QList<int>{1, 0} << QStringLiteral("古い文") << 0;
}

void DocumentSessionTest::leftCopiesAreOfferedNewestFirstUntilOneIsRestored()
{
    QFETCH(QList<int>, answers);
    QTemporaryDir folder;
    {
        RecoveryStore older(folder.path()), newer(folder.path());
        QVERIFY(older.start() && newer.start());
        QVERIFY(older.save({QStringLiteral("古い文"), folder.filePath(QStringLiteral("gone/old.qrnf")), TextFormat(TextEncoding::Utf8), {}, {}}).ok);
        QVERIFY(newer.save({QStringLiteral("新しい文\r\n二行目"), QString(), TextFormat(), {}, {}}).ok);
    }
    // Dates the copies an hour apart and gives the older a lock file naming this process.
    for (const RecoveryCopy &copy : RecoveryStore(folder.path()).orphans()) {
        QFile file(folder.filePath(copy.id + QStringLiteral(".qrnr")));
        const bool older = copy.text == QStringLiteral("古い文");
        QVERIFY(file.open(QIODevice::ReadWrite)
                && file.setFileTime(QDateTime::currentDateTime().addSecs(older ? -3600 : -60), QFileDevice::FileModificationTime));
        if (older)
            QVERIFY(writeBytes(folder.filePath(copy.id + QStringLiteral(".lock")),
                               QByteArray::number(QCoreApplication::applicationPid()) + "\nqrn\n\n"));
    }
    RecoveryStore alive(folder.path());
    QVERIFY(alive.start() && alive.save({QStringLiteral("よその文"), QString(), TextFormat(), {}, {}}).ok);

    SessionHarness h;
    DocumentRecovery recovery(h.session, h.text, folder.path());
    for (int answer : answers)
        h.boxes.expectChoice(answer);
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
    if (h.text.value != Template) // changed and untitled: the old one's folder is gone
        QCOMPARE(state(h).mid(2), (QStringList{QString(), Changed}));
    QTEST(int(RecoveryStore(folder.path()).orphans().size()), "left");
}

QTEST_GUILESS_MAIN(DocumentSessionTest)
#include "DocumentSessionTest.moc"
