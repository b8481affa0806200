#include "MainFormHarness.h"

#include <dialogs/Form1.h>
#include <dialogs/Form2.h>
#include <editor/FindBar.h>
#include <main/GeneralDate.h>
#include <main/SplitterBar.h>
#include <main/TwipLayout.h>
#include <storage/RecentFiles.h>

#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>

using namespace qrn;
using namespace qrn::test;

namespace {
const QString TemplateHtml = QStringLiteral(
    "<html>\r\n      <head>\r\n          <title></title>\r\n      </head>\r\n      <body bgcolor=\"white\">\r\n"
    "      <font color=\"black\">\r\n\r\n      </font>\r\n      </body>\r\n</html>");
} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void startUpShowsTheTemplateAndThePreviewFollowsUnlessManual();
    void everyEditMarksTheDocumentAndDroppedFilesOpenImportOrInsert();
    void startUpWithoutADataFileSaysSoAndLeavesNoScratchFile();
    void paletteListsInsertsAndRefreshesWhenAsked();
    void sourceAndHelpWindowsAreSingleAndKeepTheirMargins();
    void standardKeysRunTheMenuItemsHandlers_data();
    void standardKeysRunTheMenuItemsHandlers();
    void layoutPass_data();
    void layoutPass();
    void splittersMoveOnlyWithTheLeftButton();
};

void MainFormTest::startUpShowsTheTemplateAndThePreviewFollowsUnlessManual()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    EditorText *editor = h.form->MainText;
    FakePreview &pane = h.brw();
    QCOMPARE(h.text(), fromU16(NewDocumentTemplate()));
    QVERIFY(!h.session().DocChanged());
    // The template went to the preview through the scratch file in the program folder; the
    // title names the document once the page has loaded.
    const QByteArray before = readAllBytes(h.scratch());
    QCOMPARE(before, TemplateHtml.toLatin1() + "\r\n");
    QCOMPARE(pane.navigations, QStringList{h.scratch()});
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN"));
    pane.finishLoad();

    // Manual mode holds the preview (and the title, named by the load above) until a refresh;
    // unchecking it catches up at once. Back and forward go to the pane and navigate nowhere else.
    const auto preview = [&] { return std::pair(readAllBytes(h.scratch()), int(pane.navigations.size())); };
    h.form->mmnyHand->trigger();
    editor->setText(QStringLiteral("＜ページ＞😀"));
    QCOMPARE(preview(), std::pair(before, 1));
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN - [QRNドキュメント]"));
    h.form->mmnyKousin->trigger();
    QCOMPARE(preview(), std::pair(QByteArray("<html>&#x1F600;\r\n"), 2));
    editor->setText(QString());
    h.form->mmnyHand->trigger();
    h.form->mmnyBack->trigger();
    h.form->mmnyNext->trigger();
    QCOMPARE(preview(), std::pair(QByteArray("\r\n"), 3));
    QCOMPARE((QList<int>{pane.backs, pane.forwards}), (QList<int>{1, 1}));

    // The pane follows the caret to another line, not within one, and not in manual mode.
    h.form->show();
    editor->setText(QStringLiteral("＜段落＞行\r\n").repeated(60));
    const auto moveTo = [&](int line) { editor->setTextCursor(QTextCursor(editor->document()->findBlockByNumber(line))); };
    pane.follows.clear();
    moveTo(40);
    QTest::keyClick(editor, Qt::Key_End);
    h.form->mmnyHand->trigger();
    moveTo(10);
    h.form->mmnyHand->trigger();
    moveTo(20);
    // 40 once (not again within its line), 10 not in manual mode, 20 once manual mode is left.
    QCOMPARE((QList<int>{pane.follows.value(0).first, pane.follows.value(1).first, int(pane.follows.size())}), (QList<int>{40, 20, 2}));
    QVERIFY(pane.follows.value(0).second >= 0 && pane.follows.value(0).second <= 1);
    // A double-click in the preview leads the caret to the start of the line that produced it.
    pane.doubleClickLine(55);
    pane.doubleClickLine(500); // past the end: nothing moves
    QCOMPARE(editor->textCursor().position(), editor->document()->findBlockByNumber(55).position());

    // A page whose scratch file cannot be written is shown from memory.
    QTemporaryDir site;
    QVERIFY(h.session().JapSave(site.filePath(QStringLiteral("page.qrnf"))).ok);
    QVERIFY(QDir(site.path()).removeRecursively());
    editor->setText(QStringLiteral("＜ページ＞"));
    QCOMPARE(pane.unsaved, (QList<std::pair<QString, QByteArray>>{{site.filePath(QStringLiteral("Kiriko_WaitFile.htm")), "<html>\r\n"}}));
}

void MainFormTest::everyEditMarksTheDocumentAndDroppedFilesOpenImportOrInsert()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->show();
    EditorText *editor = h.form->MainText;
    // Each kind of edit marks the document once; appearance changes do not.
    QSignalSpy changes(&h.session(), &DocumentSession::docChangedChanged);
    const auto markedAfter = [&](auto edit) {
        h.session().JapSave(h.path(QStringLiteral("doc.qrnf"))); // unchanged again
        changes.clear();
        edit();
        return h.session().DocChanged() && changes.size() == 1;
    };
    QVERIFY(markedAfter([&] { QTest::keyClicks(editor, QStringLiteral("a")); }));
    QVERIFY(markedAfter([&] { editor->undo(); }));
    QVERIFY(markedAfter([&] { h.doubleClickRow(QStringLiteral("ページ")); }));
    // Select all takes every line; the date replaces the selection.
    editor->setText(QStringLiteral("ab\r\ncd"));
    h.form->mmnyAll->trigger();
    QCOMPARE(editor->textCursor().selectedText(), QStringLiteral("ab") + QChar(QChar::ParagraphSeparator) + QStringLiteral("cd"));
    QVERIFY(markedAfter([&] { h.form->mmnyDate->trigger(); }));
    QVERIFY(!h.text().contains(QStringLiteral("ab")));
    QVERIFY(h.text().contains(QString::number(QDate::currentDate().year() % 100)));
    QVERIFY(!markedAfter([&] {
        editor->setFont(QFont(editor->font().family(), 20, QFont::Bold));
        editor->setBackColor(0x00FF00);
        editor->setForeColor(0x0000FF);
    }));
    // The date's form; midnight is judged to the second: the clock's milliseconds do not count.
    const auto at = [](QTime time) { return generalDateText(QDateTime(QDate(2003, 8, 9), time), QLocale(QLocale::Japanese, QLocale::Japan)); };
    QCOMPARE((QStringList{at(QTime(14, 5, 9)), at(QTime(0, 0)), at(QTime(0, 0, 1)), at(QTime(0, 1)), at(QTime(0, 0, 0, 999))}),
             (QStringList{QStringLiteral("2003/08/09 14:05:09"), QStringLiteral("2003/08/09"), QStringLiteral("2003/08/09 0:00:01"),
                          QStringLiteral("2003/08/09 0:01:00"), QStringLiteral("2003/08/09")}));

    // A dropped document opens and heads the recent files, which keep their limit.
    RecentFiles other(h.path(QStringLiteral("recent.txt"))); // a second editor on the same folder
    for (int i = 0; i < 12; ++i)
        QVERIFY(other.add(h.path(QStringLiteral("old%1.qrnf").arg(i))));
    const QString page = h.path(QStringLiteral("page.qrnf")), gone = h.path(QStringLiteral("old11.qrnf"));
    QVERIFY(QDir(h.dir.path()).mkpath(QStringLiteral("img")));
    QVERIFY(writeBytes(page, sjis(QStringLiteral("＜段落＞開いた\r\n"))));
    QVERIFY(writeBytes(h.path(QStringLiteral("page.html")), "<p>imported</p>"));
    const auto drop = [&](const QString &name) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(h.path(name))});
        return h.form->dropFiles(&data);
    };
    QVERIFY(drop(QStringLiteral("page.qrnf")));
    QCOMPARE(std::pair(h.text(), h.session().DocPath()), std::pair(QStringLiteral("＜段落＞開いた"), page));
    QCOMPARE(other.list().size(), RecentFiles::Limit);
    QCOMPARE(other.list().mid(0, 2), (QStringList{page, gone}));
    // A recent file that is gone leaves the list when chosen.
    h.form->openRecentFile(gone);
    QVERIFY(!other.list().contains(gone));
    QCOMPARE(h.session().DocPath(), page);
    // An image is inserted as a tag at the caret; a page is imported after the save question.
    editor->moveCursor(QTextCursor::End);
    QVERIFY(drop(QStringLiteral("img/logo.png")));
    QCOMPARE(h.text(), QStringLiteral("＜段落＞開いた＜画像　画像ファイル＝「img/logo.png」＞"));
    h.boxes.expect(ScriptedMessageBoxes::AskToSave, false);
    QVERIFY(drop(QStringLiteral("page.html")));
    QVERIFY(h.text().contains(QStringLiteral("imported")));
    QCOMPARE(std::pair(h.session().DocPath(), h.session().DocChanged()), std::pair(QString(), true)); // untitled, changed
}

// Either data file missing: the message, no window, and nothing written.
void MainFormTest::startUpWithoutADataFileSaysSoAndLeavesNoScratchFile()
{
    const QString dictionary = QStringLiteral("KirikoDate.dat"), settings = QStringLiteral("EditerFontDate.dat");
    for (const auto &[missing, left] : {std::pair(dictionary, settings), std::pair(settings, dictionary)}) {
        MainFormHarness h;
        QVERIFY(QFile::remove(h.path(missing)));
        h.boxes.expect(ScriptedMessageBoxes::Information);
        QVERIFY(!h.form->Form_Load());
        QCOMPARE(h.boxes.calls.value(0).text, QStringLiteral("データを読み込めません。"));
        QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files), QStringList{left});
    }
}

void MainFormTest::paletteListsInsertsAndRefreshesWhenAsked()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    EditorText *editor = h.form->MainText;
    TagTable &table = h.henkan.tagTable();
    QCOMPARE(rowsOf(h.form->Koumoku).join(QLatin1Char(' ')), QStringLiteral("作業フォルダ 基本タグ デザイン テーブル フレーム メディア その他・分類不能 色 ユーザー定義"));
    QCOMPARE(h.paletteRows().value(0), QStringLiteral("ページ"));
    QCOMPARE(h.form->StaDescription->text(), QStringLiteral("選択されている項目の説明を表示します"));

    // Entries added show only when the category is refreshed, by a click on it even when selected.
    h.selectCategory(QStringLiteral("ユーザー定義"));
    QVERIFY(h.paletteRows().isEmpty());
    table.AddTagEntry(u"見出し", u"h1", 8, u"");
    table.AddTagEntry(u"命令", u"cmd", 9, u"");
    QVERIFY(h.paletteRows().isEmpty());
    h.form->show();
    QListWidgetItem *selected = h.form->Koumoku->currentItem();
    QTest::mouseClick(h.form->Koumoku->viewport(), Qt::LeftButton, {}, h.form->Koumoku->visualItemRect(selected).center());
    QCOMPARE(h.form->Koumoku->currentItem(), selected);
    QCOMPARE(h.paletteRows(), QStringList{QStringLiteral("見出し")});
    // A deleted entry's row stays until the next refresh and inserts nothing.
    QVERIFY(table.DeleteTagEntry(u"見出し"));
    editor->setText(QStringLiteral("x"));
    h.doubleClickRow(QStringLiteral("見出し"));
    QCOMPARE(h.text(), QStringLiteral("x"));

    // A tag goes in bracketed at the caret, which ends after it; a colour word goes in bare,
    // replacing the selection.
    h.selectCategory(QStringLiteral("基本タグ"));
    editor->setText(QStringLiteral("ab\r\ncd"));
    editor->moveCursor(QTextCursor::Start);
    editor->moveCursor(QTextCursor::NextCharacter);
    h.doubleClickRow(QStringLiteral("ページ"));
    QCOMPARE(h.text(), QStringLiteral("a＜ページ＞b\r\ncd"));
    QCOMPARE(std::pair(editor->textCursor().anchor(), editor->textCursor().position()), std::pair(6, 6)); // no selection
    h.selectCategory(QStringLiteral("色"));
    editor->moveCursor(QTextCursor::Start);
    editor->moveCursor(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
    h.doubleClickRow(QStringLiteral("白"));
    QCOMPARE(std::pair(h.text(), editor->textCursor().position()), std::pair(QStringLiteral("白＜ページ＞b\r\ncd"), 1));
    h.selectCategory(QStringLiteral("テーブル"));
    h.doubleClickRow(QStringLiteral("表"));
    QCOMPARE(h.text(), QStringLiteral("白＜表＞＜ページ＞b\r\ncd"));

    // Two entries of one name: one row, inserted once, described by the later entry. The
    // description is shown as it stands: "<h1>" is no heading that makes the bar grow.
    table.AddTagEntry(u"二重", u"x", 0, u"first");
    table.AddTagEntry(u"二重", u"y", 7, u"second");
    table.AddTagEntry(u"大見出し", u"h1", 0, u"<h1>＜大見出し＞ | いちばん大きな見出し | <h1>");
    h.selectCategory(QStringLiteral("基本タグ"));
    const QStringList rows = h.paletteRows();
    QCOMPARE(rows.count(QStringLiteral("二重")), 1);
    h.form->Naiyou->setCurrentRow(int(rows.indexOf(QStringLiteral("二重"))));
    QCOMPARE(h.form->StaDescription->text(), QStringLiteral("second"));
    h.form->Naiyou->setCurrentRow(0);
    QCOMPARE(h.form->StaDescription->text(), QStringLiteral("＜ページ＞ | HTMLを書きこむ | <html>"));
    h.form->Naiyou->setCurrentRow(int(rows.indexOf(QStringLiteral("大見出し"))));
    QLabel oneLine(h.form->StaDescription->text());
    oneLine.setTextFormat(Qt::PlainText);
    oneLine.setFont(h.form->StaDescription->font());
    QCOMPARE(h.form->StaDescription->sizeHint().height(), oneLine.sizeHint().height());
    editor->setText(QString());
    h.doubleClickRow(QStringLiteral("二重"));
    QCOMPARE(h.text(), QStringLiteral("＜二重＞"));

    // The work folder's files but the scratch file, folders and hidden files; a name goes in bare.
    for (const char *name : {"b.html", "a.qrnf", ".hidden"})
        QVERIFY(writeBytes(h.path(QString::fromLatin1(name)), "x"));
    QVERIFY(QDir(h.dir.path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::exists(h.scratch()));
    h.selectCategory(QStringLiteral("作業フォルダ"));
    QCOMPARE(h.paletteRows(), (QStringList{QStringLiteral("EditerFontDate.dat"), QStringLiteral("KirikoDate.dat"),
                                           QStringLiteral("a.qrnf"), QStringLiteral("b.html")}));
    QVERIFY(h.form->palette().WrapInBrackets); // the last category's, kept
    editor->setText(QString());
    h.doubleClickRow(QStringLiteral("a.qrnf"));
    QCOMPARE((QStringList{h.form->StaDescription->text(), h.text()}), (QStringList{QStringLiteral("a.qrnf"), QStringLiteral("a.qrnf")}));
    // The listing follows the work folder when a save moves it.
    QTemporaryDir other;
    QVERIFY(writeBytes(other.filePath(QStringLiteral("only.txt")), "x"));
    QVERIFY(h.session().JapSave(other.filePath(QStringLiteral("doc.qrnf"))).ok);
    QCOMPARE(h.paletteRows(), (QStringList{QStringLiteral("doc.qrnf"), QStringLiteral("only.txt")}));
    // A work folder that is gone keeps the last listing's folder.
    QListWidget categories, files;
    TagPalette palette(categories, files, table);
    palette.fillCategories();
    categories.setCurrentRow(0);
    palette.refresh(other.path());
    palette.refresh(other.filePath(QStringLiteral("missing")));
    QCOMPARE(files.count(), 2);

    // Words the user adds in the tag editor lose their marks at once.
    editor->setText(QStringLiteral("＜新語＞"));
    const auto underlined = [&] {
        const QList<QTextLayout::FormatRange> ranges = editor->document()->firstBlock().layout()->formats();
        return std::any_of(ranges.begin(), ranges.end(), [](const auto &r) { return r.format.underlineStyle() == QTextCharFormat::WaveUnderline; });
    };
    QVERIFY(underlined());
    h.windows.userInTagEditor = [](TagTable &t) { t.AddTagEntry(u"新語", u"new", 8, u""); };
    h.form->mmnyNewTag->trigger();
    QVERIFY(!underlined());
    h.form->mmnyAbout->trigger();
    QCOMPARE(h.windows.aboutRuns, 1);
}

void MainFormTest::sourceAndHelpWindowsAreSingleAndKeepTheirMargins()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    // Margins of 610 and 310 twips (40.67 and 20.67 pixels at 96 dpi); a window too small for
    // them keeps the pane's last height, its width still follows.
    const auto keepsMargins = [](QWidget *window, QWidget *pane) {
        window->resize(400, 300);
        const QRect fitted = pane->geometry();
        QCOMPARE(fitted.topLeft(), QPoint(8, 8));
        QCOMPARE(fitted.height(), qRound(window->frameGeometry().height() - 610 / 15.0));
        window->resize(200, 20);
        QCOMPARE(pane->height(), fitted.height());
        QCOMPARE(pane->width(), qRound(window->frameGeometry().width() - 310 / 15.0));
    };

    // The source window shows a snapshot of the page, refreshed only when asked for again.
    h.form->mmnyHtmlHyozi->trigger();
    QPointer<Form1> source = h.form->sourceWindow();
    QVERIFY(source && source->isVisible());
    QCOMPARE(source->windowTitle(), QStringLiteral("HTML - [QRNドキュメント]"));
    QCOMPARE(source->Text1->toPlainText(), QString(TemplateHtml).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    h.form->MainText->setText(QStringLiteral("＜ページ＞"));
    QVERIFY(source->Text1->toPlainText().startsWith(QStringLiteral("<html>\n")));
    // The title shows the file's name as plain text, markup and all.
    const QString file = h.path(QStringLiteral("<i>a.qrnf"));
    QVERIFY(h.session().JapSave(file).ok);
    h.form->mmnyHtmlHyozi->trigger();
    QCOMPARE(h.form->sourceWindow(), source.data());
    QCOMPARE(source->Text1->toPlainText(), QStringLiteral("<html>"));
    QCOMPARE(source->windowTitle(), QStringLiteral("HTML - [") + file + QStringLiteral("]"));
    keepsMargins(source.data(), source->Text1);

    // The manual opens at its index and keeps its page when asked for again.
    h.form->mmnyHelp->trigger();
    QPointer<Form2> help = h.form->helpWindow();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->windowTitle(), QStringLiteral("QRNマニュアル"));
    auto *manual = static_cast<FakePreview *>(help->HelpBrw);
    QCOMPARE(manual->navigations, QStringList{h.path(QStringLiteral("Help/Index.html"))});
    h.form->mmnyHelp->trigger();
    QCOMPARE(h.form->helpWindow(), help.data());
    QCOMPARE(manual->navigations.size(), 1);
    keepsMargins(help.data(), manual->widget());

    // A closed window goes; the menu item makes a new one.
    source->close();
    help->close();
    QTRY_VERIFY(!source && !help);
    h.form->mmnyHtmlHyozi->trigger();
    h.form->mmnyHelp->trigger();
    QVERIFY(h.form->sourceWindow() && h.form->helpWindow());
    h.form->sourceWindow()->close();
    h.form->helpWindow()->close();
}

// Each standard key runs its menu item's handler, so every flow is the menu's: the save
// question first, then the dialog, on a changed untitled document (the harness fails the test
// on a box or dialog not shown as scripted).
void MainFormTest::standardKeysRunTheMenuItemsHandlers_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("effect");
    QTest::newRow("new") << int(QKeySequence::New) << QStringLiteral("question");
    QTest::newRow("open") << int(QKeySequence::Open) << QStringLiteral("question open");
    QTest::newRow("save") << int(QKeySequence::Save) << QStringLiteral("save");
    QTest::newRow("save as") << int(QKeySequence::SaveAs) << QStringLiteral("save");
    QTest::newRow("find") << int(QKeySequence::Find) << QStringLiteral("find");
    QTest::newRow("refresh") << int(QKeySequence::Refresh) << QStringLiteral("refresh");
    QTest::newRow("zoom in") << int(QKeySequence::ZoomIn) << QStringLiteral("zoom");
}

void MainFormTest::standardKeysRunTheMenuItemsHandlers()
{
    QFETCH(int, key);
    QFETCH(QString, effect);
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->show();
    h.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.form.get()));
    h.form->MainText->setText(QStringLiteral("変えた"));
    if (effect.startsWith(QLatin1String("question")))
        h.boxes.expect(ScriptedMessageBoxes::AskToSave, false);
    if (effect.endsWith(QLatin1String("open")))
        h.dialogs->cancel(ScriptedDialogs::OpenDialog);
    if (effect == QLatin1String("save"))
        h.dialogs->cancel(ScriptedDialogs::SaveDialog);
    const qsizetype navigations = h.brw().navigations.size();
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(QKeySequence::StandardKey(key));
    QTest::keySequence(h.form.get(), bindings.isEmpty() ? QKeySequence(QStringLiteral("Ctrl+Shift+S")) : bindings.first());
    if (effect == QLatin1String("find"))
        QVERIFY(h.form->MainText->findBar()->isVisible());
    if (effect == QLatin1String("refresh"))
        QCOMPARE(h.brw().navigations.size(), navigations + 1);
    if (effect == QLatin1String("zoom")) {
        QCOMPARE(h.form->MainText->zoomSteps(), 1);
        QVERIFY(h.brw().zoom > 1.09 && h.brw().zoom < 1.11);
    }
}

void MainFormTest::layoutPass_data()
{
    QTest::addColumn<QList<float>>("given");    // window width and height, bar 2's left, bar 1's top
    QTest::addColumn<QList<float>>("expected"); // Koumoku w, Naiyou w/h, bar2 h, MainText l/w/h, Brw l/t/w/h, bar1 l/w
    const auto row = [](const char *name, const QList<float> &given, const QList<float> &expected) {
        QTest::newRow(name) << given << expected;
    };
    row("initial", {8295, 8040, 1800, 3960}, {1680, 1680, 5600, 8040, 1920, 6175, 3840, 1920, 4080, 6175, 2960, 1920, 6375});
    row("vertical bar 300 right", {8295, 8040, 2100, 3960}, {1980, 1980, 5600, 8040, 2220, 5875, 3840, 2220, 4080, 5875, 2960, 2220, 6075});
    row("horizontal bar 500 down", {8295, 8040, 1800, 4460}, {1680, 1680, 5600, 8040, 1920, 6175, 4340, 1920, 4580, 6175, 2460, 1920, 6375});
    // Lists would be negative: they keep their widths, the rest still follows the bar.
    row("vertical bar left of 120", {8295, 8040, 60, 3960}, {1695, 1695, 5600, 8040, 180, 7915, 3840, 180, 4080, 7915, 2960, 180, 8115});
    // A bar dragged past the window's edge: the panes beyond it start outside the window, and only
    // the sizes that would be negative keep their values.
    row("vertical bar left of the window", {8295, 8040, -300, 3960}, {1695, 1695, 5600, 8040, -180, 8275, 3840, -180, 4080, 8275, 2960, -180, 8475});
    row("horizontal bar above the window", {8295, 8040, 1800, -500}, {1680, 1680, 5600, 8040, 1920, 6175, 3855, 1920, -380, 6175, 7420, 1920, 6375});
    // Minimised: heights and widths that come out negative keep their values.
    row("minimised", {2400, 450, 1800, 3960}, {1680, 1680, 5280, 450, 1920, 280, 3840, 1920, 4080, 280, 2655, 1920, 480});
}

void MainFormTest::layoutPass()
{
    QFETCH(QList<float>, given);
    QFETCH(QList<float>, expected);
    PaneRects p;
    p.LineHenkou2.left = given[2];
    p.LineHenkou1.top = given[3];
    LayoutPass(p, given[0], given[1]);
    const QList<float> actual{p.Koumoku.width, p.Naiyou.width, p.Naiyou.height, p.LineHenkou2.height, p.MainText.left,
                              p.MainText.width, p.MainText.height, p.Brw.left, p.Brw.top, p.Brw.width, p.Brw.height,
                              p.LineHenkou1.left, p.LineHenkou1.width};
    QCOMPARE(actual, expected);
    // The fixed edges never move.
    QCOMPARE((QList<float>{p.Koumoku.left, p.Naiyou.top, p.MainText.top, p.Koumoku.height}), (QList<float>{120, 1440, 120, 1320}));
    // Restoring after minimising gives back every rectangle.
    PaneRects again = p;
    LayoutPass(again, 2400.f, 450.f);
    LayoutPass(again, given[0], given[1]);
    QCOMPARE(again, p);
}

void MainFormTest::splittersMoveOnlyWithTheLeftButton()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    const PaneRects start = h.form->layout().panes();

    h.form->LineHenkou2_MouseDown(1, 0, 60.5f, 10);
    QCOMPARE(h.form->layout().DragStart, std::int16_t(60));
    h.form->LineHenkou2_MouseMove(1, 0, 360.5f, 10);
    PaneRects moved = h.form->layout().panes();
    QCOMPARE(moved.LineHenkou2.left, start.LineHenkou2.left + 300.5f);
    QCOMPARE(moved.Koumoku.width, start.Koumoku.width + 300.5f); // laid out again

    for (int buttons : {0, 2, 3, 4}) {
        h.form->LineHenkou2_MouseMove(buttons, 0, 900, 10);
        h.form->LineHenkou1_MouseMove(buttons, 0, 10, 900);
        QCOMPARE(h.form->layout().panes(), moved);
    }

    h.form->LineHenkou1_MouseDown(2, 0, 10, 61.5f);
    QCOMPARE(h.form->layout().DragStart, std::int16_t(62)); // half to even
    h.form->LineHenkou1_MouseMove(1, 0, 10, 561.5f);
    const PaneRects down = h.form->layout().panes();
    QCOMPARE(down.MainText.height, moved.MainText.height + 499.5f);

    // Real mouse events on the bar reach the same handlers.
    h.form->show();
    QTest::mousePress(h.form->LineHenkou2, Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(2, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(22, 5), h.form->LineHenkou2->mapToGlobal(QPointF(22, 5)),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(h.form->LineHenkou2, &move);
    QCOMPARE(h.form->layout().panes().LineHenkou2.left, down.LineHenkou2.left + 300.f);
}

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
