#include "MainFormHarness.h"

#include <editor/FindBar.h>

#include <storage/RecentFiles.h>

#include <QMimeData>

#include <dialogs/Form1.h>
#include <main/GeneralDate.h>
#include <main/SplitterBar.h>
#include <main/TwipLayout.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>

using namespace qrn;
using namespace qrn::test;

namespace {
const QString Template = fromU16(NewDocumentTemplate());
const QString TemplateHtml = QStringLiteral(
    "<html>\r\n      <head>\r\n          <title></title>\r\n      </head>\r\n      <body bgcolor=\"white\">\r\n"
    "      <font color=\"black\">\r\n\r\n      </font>\r\n      </body>\r\n</html>");
} // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void standardKeysRunTheMenuItemsHandlers_data();
    void standardKeysRunTheMenuItemsHandlers();
    void droppedFilesOpenImportOrInsert();
    void recentFilesFollowTheDocumentsAndDropMissingOnes();
    void startUpShowsTheTemplateAsAnUnchangedDocument();
    void startUpWithoutDictionaryShowsMessageAndWritesNothing();
    void startUpWithoutSettingsShowsMessageAndLeavesNoScratchFile();
    void everyTextChangeMarksTheDocumentAndAppearanceDoesNot();
    void doubleClickInsertsBracketedTagsOrBareColourWords();
    void workFolderCategoryListsFilesAndInsertsNames();
    void descriptionLineTakesTheLaterEntry();
    void paletteRefreshesOnlyWhenAsked();
    void tagEditorAndAboutBoxOpenThroughTheSeam();
    void manualModeHoldsThePreviewUntilRefresh();
    void previewFollowsTheCaretAndLeadsItBack();
    void previewShowsThePageWhenItsFileCannotBeWritten();
    void sourceWindowShowsASnapshotAndIsReused();
    void selectAllAndDateInsertion();
    void generalDateFormat();
    void layoutPass_data();
    void layoutPass();
    void splittersMoveOnlyWithTheLeftButton();
};

void MainFormTest::startUpShowsTheTemplateAsAnUnchangedDocument()
{
    MainFormHarness h;
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN"));
    QVERIFY(h.form->Form_Load());

    QCOMPARE(h.text(), Template);
    QCOMPARE(h.text().size(), 141);
    QVERIFY(!h.session().DocChanged());
    QCOMPARE(h.session().WorkFolder(), h.dir.path());
    QVERIFY(h.session().DocPath().isEmpty());

    QCOMPARE(h.form->Koumoku->count(), 9);
    QCOMPARE(h.form->Koumoku->item(0)->text(), QStringLiteral("作業フォルダ"));
    QCOMPARE(h.form->Koumoku->item(8)->text(), QStringLiteral("ユーザー定義"));
    QCOMPARE(h.form->Koumoku->currentItem()->text(), QStringLiteral("基本タグ"));
    QCOMPARE(h.paletteRows().value(0), QStringLiteral("ページ"));
    QVERIFY(h.form->palette().WrapInBrackets);
    QCOMPARE(h.form->StaDescription->text(), QStringLiteral("選択されている項目の説明を表示します"));

    // The template went to the preview through the scratch file in the program folder.
    QCOMPARE(readAllBytes(h.scratch()), TemplateHtml.toLatin1() + "\r\n");
    QCOMPARE(h.brw().navigations, QStringList{h.scratch()});
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN"));
    h.brw().finishLoad();
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN - [QRNドキュメント]"));
}

void MainFormTest::startUpWithoutDictionaryShowsMessageAndWritesNothing()
{
    MainFormHarness h(false);
    QVERIFY(writeBytes(h.path(QStringLiteral("EditerFontDate.dat")), "16777215,x,9,False,False,0\r\n"));
    h.boxes.expect(ScriptedMessageBoxes::Information);
    QVERIFY(!h.form->Form_Load());
    QCOMPARE(h.boxes.calls.value(0).text, QStringLiteral("データを読み込めません。"));
    QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("EditerFontDate.dat")});
    QVERIFY(h.brw().navigations.isEmpty());
}

void MainFormTest::startUpWithoutSettingsShowsMessageAndLeavesNoScratchFile()
{
    MainFormHarness h;
    QVERIFY(QFile::remove(h.path(QStringLiteral("EditerFontDate.dat"))));
    h.boxes.expect(ScriptedMessageBoxes::Information);
    QVERIFY(!h.form->Form_Load());
    QCOMPARE(h.boxes.calls.value(0).text, QStringLiteral("データを読み込めません。"));
    QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("KirikoDate.dat")});
}

void MainFormTest::everyTextChangeMarksTheDocumentAndAppearanceDoesNot()
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
    QVERIFY(markedAfter([&] { h.form->mmnyDate_Click(); }));
    QVERIFY(!markedAfter([&] {
        QFont font = editor->font();
        font.setPointSize(20);
        font.setBold(true);
        editor->setFont(font);
        editor->setBackColor(0x00FF00);
        editor->setForeColor(0x0000FF);
    }));
}

void MainFormTest::doubleClickInsertsBracketedTagsOrBareColourWords()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    EditorText *editor = h.form->MainText;
    editor->setText(QStringLiteral("ab\r\ncd"));

    QTextCursor c = editor->textCursor();
    c.setPosition(1);
    editor->setTextCursor(c);
    h.doubleClickRow(QStringLiteral("ページ"));
    QCOMPARE(h.text(), QStringLiteral("a＜ページ＞b\r\ncd"));
    QCOMPARE(editor->textCursor().position(), 6);
    QVERIFY(!editor->textCursor().hasSelection());

    // A selection is replaced; a colour word goes in bare.
    h.selectCategory(QStringLiteral("色"));
    QVERIFY(!h.form->palette().WrapInBrackets);
    QVERIFY(h.paletteRows().contains(QStringLiteral("白")));
    c.setPosition(0);
    c.setPosition(1, QTextCursor::KeepAnchor);
    editor->setTextCursor(c);
    h.doubleClickRow(QStringLiteral("白"));
    QCOMPARE(h.text(), QStringLiteral("白＜ページ＞b\r\ncd"));
    QCOMPARE(editor->textCursor().position(), 1);

    h.selectCategory(QStringLiteral("テーブル"));
    QVERIFY(h.form->palette().WrapInBrackets);
    h.doubleClickRow(QStringLiteral("表"));
    QCOMPARE(h.text(), QStringLiteral("白＜表＞＜ページ＞b\r\ncd"));
}

void MainFormTest::workFolderCategoryListsFilesAndInsertsNames()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    QVERIFY(writeBytes(h.path(QStringLiteral("b.html")), "x"));
    QVERIFY(writeBytes(h.path(QStringLiteral("a.qrnf")), "x"));
    QVERIFY(writeBytes(h.path(QStringLiteral(".hidden")), "x"));
    QVERIFY(QDir(h.dir.path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::exists(h.scratch()));

    const bool wrapBefore = h.form->palette().WrapInBrackets;
    h.selectCategory(QStringLiteral("作業フォルダ"));
    QCOMPARE(h.paletteRows(), (QStringList{QStringLiteral("EditerFontDate.dat"), QStringLiteral("KirikoDate.dat"),
                                           QStringLiteral("a.qrnf"), QStringLiteral("b.html")}));
    QCOMPARE(h.form->palette().WrapInBrackets, wrapBefore);

    h.form->Naiyou->setCurrentRow(2);
    QCOMPARE(h.form->StaDescription->text(), QStringLiteral("a.qrnf"));
    h.form->MainText->setText(QString());
    h.doubleClickRow(QStringLiteral("a.qrnf"));
    QCOMPARE(h.text(), QStringLiteral("a.qrnf"));

    // The listing follows the work folder when a save moves it.
    QTemporaryDir other;
    QVERIFY(writeBytes(other.filePath(QStringLiteral("only.txt")), "x"));
    QVERIFY(h.session().JapSave(other.filePath(QStringLiteral("doc.qrnf"))).ok);
    QCOMPARE(h.paletteRows(), (QStringList{QStringLiteral("doc.qrnf"), QStringLiteral("only.txt")}));

    // A work folder that is gone keeps the last listing's folder.
    QListWidget categories, rows;
    TagPalette palette(categories, rows, h.henkan.tagTable());
    palette.fillCategories();
    categories.setCurrentRow(0);
    palette.refresh(other.path());
    palette.refresh(other.filePath(QStringLiteral("missing")));
    QCOMPARE(rows.count(), 2);
}

void MainFormTest::descriptionLineTakesTheLaterEntry()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    TagTable &table = h.henkan.tagTable();
    table.AddTagEntry(u"二重", u"x", 0, u"first");
    table.AddTagEntry(u"二重", u"y", 7, u"second");
    h.form->Koumoku_Click();
    const QStringList rows = h.paletteRows();
    QCOMPARE(rows.count(QStringLiteral("二重")), 1);
    h.form->Naiyou->setCurrentRow(int(rows.indexOf(QStringLiteral("二重"))));
    QCOMPARE(h.form->StaDescription->text(), QStringLiteral("second"));

    h.form->Naiyou->setCurrentRow(0);
    QCOMPARE(h.form->StaDescription->text(), QStringLiteral("＜ページ＞ | HTMLを書きこむ | <html>"));

    // Dictionary text is shown as it stands: "<h1>" is no heading that makes the bar grow.
    table.AddTagEntry(u"大見出し", u"h1", 0, u"<h1>＜大見出し＞ | いちばん大きな見出し | <h1>");
    h.form->Koumoku_Click();
    h.form->Naiyou->setCurrentRow(int(h.paletteRows().indexOf(QStringLiteral("大見出し"))));
    QLabel oneLine(h.form->StaDescription->text());
    oneLine.setTextFormat(Qt::PlainText);
    oneLine.setFont(h.form->StaDescription->font());
    QCOMPARE(h.form->StaDescription->sizeHint().height(), oneLine.sizeHint().height());

    // Inserted once per double-click however many entries share the name.
    h.form->MainText->setText(QString());
    h.doubleClickRow(QStringLiteral("二重"));
    QCOMPARE(h.text(), QStringLiteral("＜二重＞"));
}

void MainFormTest::tagEditorAndAboutBoxOpenThroughTheSeam()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->MainText->setText(QStringLiteral("＜新語＞"));
    const auto underlined = [&] {
        const QTextBlock block = h.form->MainText->document()->firstBlock();
        for (const QTextLayout::FormatRange &range : block.layout()->formats())
            if (range.start <= 1 && 1 < range.start + range.length)
                return range.format.underlineStyle() == QTextCharFormat::WaveUnderline;
        return false;
    };
    QVERIFY(underlined()); // no such word yet

    // The user adds the word in the tag editor: the editor's marks follow at once.
    h.windows.userInTagEditor = [](TagTable &table) { table.AddTagEntry(u"新語", u"new", 8, u""); };
    h.form->mmnyNewTag->trigger();
    QCOMPARE(h.windows.tagEditorRuns, 1);
    QVERIFY(!underlined());
    h.form->mmnyAbout->trigger();
    QCOMPARE(h.windows.aboutRuns, 1);
}

void MainFormTest::paletteRefreshesOnlyWhenAsked()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.selectCategory(QStringLiteral("ユーザー定義"));
    QVERIFY(h.paletteRows().isEmpty());

    TagTable &table = h.henkan.tagTable();
    table.AddTagEntry(u"見出し", u"h1", 8, u"");
    table.AddTagEntry(u"命令", u"cmd", 9, u"");
    QVERIFY(h.paletteRows().isEmpty());
    // A click on the category already selected refreshes it.
    h.form->show();
    QListWidgetItem *selected = h.form->Koumoku->currentItem();
    QTest::mouseClick(h.form->Koumoku->viewport(), Qt::LeftButton, {}, h.form->Koumoku->visualItemRect(selected).center());
    QCOMPARE(h.form->Koumoku->currentItem(), selected);
    QCOMPARE(h.paletteRows(), QStringList{QStringLiteral("見出し")});

    // A deleted entry's row stays until the next refresh and inserts nothing.
    QVERIFY(table.DeleteTagEntry(u"見出し"));
    h.form->MainText->setText(QStringLiteral("x"));
    h.doubleClickRow(QStringLiteral("見出し"));
    QCOMPARE(h.text(), QStringLiteral("x"));
}

void MainFormTest::manualModeHoldsThePreviewUntilRefresh()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.brw().finishLoad();
    const QByteArray before = readAllBytes(h.scratch());
    const int navigations = int(h.brw().navigations.size());

    h.form->mmnyHand->trigger();
    QVERIFY(h.form->mmnyHand->isChecked());
    QCOMPARE(h.brw().navigations.size(), navigations);

    h.form->MainText->setText(QStringLiteral("＜ページ＞😀"));
    QCOMPARE(readAllBytes(h.scratch()), before);
    QCOMPARE(h.brw().navigations.size(), navigations);
    QCOMPARE(h.form->windowTitle(), QStringLiteral("QRN - [QRNドキュメント]"));

    h.form->mmnyKousin->trigger();
    QCOMPARE(readAllBytes(h.scratch()), QByteArray("<html>&#x1F600;\r\n"));
    QCOMPARE(h.brw().navigations.size(), navigations + 1);
    QVERIFY(h.form->mmnyHand->isChecked());

    // Unchecking catches the preview up at once.
    h.form->MainText->setText(QString());
    h.form->mmnyHand->trigger();
    QVERIFY(!h.form->mmnyHand->isChecked());
    QCOMPARE(readAllBytes(h.scratch()), QByteArray("\r\n"));
    QCOMPARE(h.brw().navigations.size(), navigations + 2);

    h.form->mmnyBack->trigger();
    h.form->mmnyNext->trigger();
    QCOMPARE(h.brw().backs, 1);
    QCOMPARE(h.brw().forwards, 1);
    QCOMPARE(h.brw().navigations.size(), navigations + 2);
}

void MainFormTest::previewFollowsTheCaretAndLeadsItBack()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->show();
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("＜段落＞%1行目").arg(i);
    h.form->MainText->setText(lines.join(QStringLiteral("\r\n")));
    const auto moveTo = [&](int line) {
        QTextCursor c(h.form->MainText->document()->findBlockByNumber(line));
        h.form->MainText->setTextCursor(c);
    };
    h.brw().follows.clear();
    moveTo(40);
    QCOMPARE(h.brw().follows.size(), 1);
    QCOMPARE(h.brw().follows.constLast().first, 40);
    QVERIFY(h.brw().follows.constLast().second >= 0 && h.brw().follows.constLast().second <= 1);
    // Moving within the line is no new line to follow.
    QTest::keyClick(h.form->MainText, Qt::Key_End);
    QCOMPARE(h.brw().follows.size(), 1);

    // Manual mode stops following, as it stops refreshing.
    h.form->mmnyHand->trigger();
    moveTo(10);
    QCOMPARE(h.brw().follows.size(), 1);
    h.form->mmnyHand->trigger();
    moveTo(20);
    QCOMPARE(h.brw().follows.constLast().first, 20);

    // A double-click in the preview leads the caret to the line that produced it.
    h.brw().doubleClickLine(55);
    QCOMPARE(h.form->MainText->textCursor().blockNumber(), 55);
    QCOMPARE(h.form->MainText->textCursor().positionInBlock(), 0);
    h.brw().doubleClickLine(500); // past the end: nothing moves
    QCOMPARE(h.form->MainText->textCursor().blockNumber(), 55);
}

void MainFormTest::previewShowsThePageWhenItsFileCannotBeWritten()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    QTemporaryDir site;
    QVERIFY(h.session().JapSave(site.filePath(QStringLiteral("page.qrnf"))).ok);
    QVERIFY(QDir(site.path()).removeRecursively()); // its folder is gone: nothing can be written there
    h.brw().unsaved.clear();
    h.form->MainText->setText(QStringLiteral("＜ページ＞"));
    QCOMPARE(h.brw().unsaved.size(), 1);
    QCOMPARE(h.brw().unsaved.constLast().first, site.filePath(QStringLiteral("Kiriko_WaitFile.htm")));
    QCOMPARE(h.brw().unsaved.constLast().second, QByteArray("<html>\r\n"));
}

void MainFormTest::sourceWindowShowsASnapshotAndIsReused()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->mmnyHtmlHyozi->trigger();
    QPointer<Form1> window = h.form->sourceWindow();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("HTML - [QRNドキュメント]"));
    QCOMPARE(window->Text1->toPlainText(), QString(TemplateHtml).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    h.form->MainText->setText(QStringLiteral("＜ページ＞"));
    QVERIFY(window->Text1->toPlainText().startsWith(QStringLiteral("<html>\n")));

    // The title shows the file's name as plain text, markup and all.
    const QString file = h.path(QStringLiteral("<i>a.qrnf"));
    QVERIFY(h.session().JapSave(file).ok);
    h.form->mmnyHtmlHyozi->trigger();
    QCOMPARE(h.form->sourceWindow(), window.data());
    QCOMPARE(window->Text1->toPlainText(), QStringLiteral("<html>"));
    QCOMPARE(window->windowTitle(), QStringLiteral("HTML - [") + file + QStringLiteral("]"));

    // Margins: a window too small for them keeps the box's last height; its width still follows.
    // 610 and 310 twips are 40.67 and 20.67 pixels at 96 dpi.
    window->resize(400, 300);
    const QRect fitted = window->Text1->geometry();
    QCOMPARE(fitted.topLeft(), QPoint(8, 8));
    QCOMPARE(fitted.height(), qRound(window->frameGeometry().height() - 610 / 15.0));
    window->resize(200, 20);
    QCOMPARE(window->Text1->height(), fitted.height());
    QCOMPARE(window->Text1->width(), qRound(window->frameGeometry().width() - 310 / 15.0));

    window->close();
    QTRY_VERIFY(!window);
    h.form->mmnyHtmlHyozi->trigger();
    QVERIFY(h.form->sourceWindow());
    h.form->sourceWindow()->close();
}

void MainFormTest::selectAllAndDateInsertion()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    h.form->MainText->setText(QString());
    h.form->mmnyAll->trigger();
    QVERIFY(!h.form->MainText->textCursor().hasSelection());

    h.form->MainText->setText(QStringLiteral("ab\r\ncd"));
    h.form->mmnyAll->trigger();
    QCOMPARE(h.form->MainText->textCursor().selectedText(), QStringLiteral("ab") + QChar(QChar::ParagraphSeparator) + QStringLiteral("cd"));

    QVERIFY(h.session().JapSave(h.path(QStringLiteral("doc.qrnf"))).ok);
    h.form->mmnyDate->trigger();
    QVERIFY(h.session().DocChanged());
    QVERIFY(!h.text().contains(QStringLiteral("ab")));
    QVERIFY(h.text().contains(QString::number(QDate::currentDate().year() % 100)));
}

void MainFormTest::generalDateFormat()
{
    const QLocale ja(QLocale::Japanese, QLocale::Japan);
    QCOMPARE(generalDateText(QDateTime(QDate(2003, 8, 9), QTime(14, 5, 9)), ja), QStringLiteral("2003/08/09 14:05:09"));
    QCOMPARE(generalDateText(QDateTime(QDate(2003, 8, 9), QTime(0, 0)), ja), QStringLiteral("2003/08/09"));
    QCOMPARE(generalDateText(QDateTime(QDate(2003, 8, 9), QTime(0, 0, 1)), ja), QStringLiteral("2003/08/09 0:00:01"));
    // Midnight is judged to the second: the clock's milliseconds do not count.
    QCOMPARE(generalDateText(QDateTime(QDate(2003, 8, 9), QTime(0, 0, 0, 500)), ja), QStringLiteral("2003/08/09"));
    QCOMPARE(generalDateText(QDateTime(QDate(2003, 8, 9), QTime(0, 0, 0, 999)), ja), QStringLiteral("2003/08/09"));
    QCOMPARE(generalDateText(QDateTime(QDate(2003, 8, 9), QTime(0, 1, 0, 0)), ja), QStringLiteral("2003/08/09 0:01:00"));
}

void MainFormTest::layoutPass_data()
{
    QTest::addColumn<float>("W");
    QTest::addColumn<float>("H");
    QTest::addColumn<float>("X2");
    QTest::addColumn<float>("Y1");
    QTest::addColumn<QList<float>>("expected"); // Koumoku w, Naiyou w/h, bar2 h, MainText l/w/h, Brw l/t/w/h, bar1 l/w

    QTest::newRow("initial") << 8295.f << 8040.f << 1800.f << 3960.f
                             << QList<float>{1680, 1680, 5600, 8040, 1920, 6175, 3840, 1920, 4080, 6175, 2960, 1920, 6375};
    QTest::newRow("vertical bar 300 right") << 8295.f << 8040.f << 2100.f << 3960.f
                                            << QList<float>{1980, 1980, 5600, 8040, 2220, 5875, 3840, 2220, 4080, 5875, 2960, 2220, 6075};
    QTest::newRow("horizontal bar 500 down") << 8295.f << 8040.f << 1800.f << 4460.f
                                             << QList<float>{1680, 1680, 5600, 8040, 1920, 6175, 4340, 1920, 4580, 6175, 2460, 1920, 6375};
    // Lists would be negative: they keep their widths, the rest still follows the bar.
    QTest::newRow("vertical bar left of 120") << 8295.f << 8040.f << 60.f << 3960.f
                                              << QList<float>{1695, 1695, 5600, 8040, 180, 7915, 3840, 180, 4080, 7915, 2960, 180, 8115};
    // A bar dragged past the window's edge: the panes beyond it start outside the window, and only
    // the sizes that would be negative keep their values.
    QTest::newRow("vertical bar left of the window") << 8295.f << 8040.f << -300.f << 3960.f
                                                     << QList<float>{1695, 1695, 5600, 8040, -180, 8275, 3840, -180, 4080, 8275, 2960, -180, 8475};
    QTest::newRow("horizontal bar above the window") << 8295.f << 8040.f << 1800.f << -500.f
                                                     << QList<float>{1680, 1680, 5600, 8040, 1920, 6175, 3855, 1920, -380, 6175, 7420, 1920, 6375};
    // Minimised: heights and widths that come out negative keep their values.
    QTest::newRow("minimised") << 2400.f << 450.f << 1800.f << 3960.f
                               << QList<float>{1680, 1680, 5280, 450, 1920, 280, 3840, 1920, 4080, 280, 2655, 1920, 480};
}

void MainFormTest::layoutPass()
{
    QFETCH(float, W);
    QFETCH(float, H);
    QFETCH(float, X2);
    QFETCH(float, Y1);
    QFETCH(QList<float>, expected);
    PaneRects p;
    p.LineHenkou2.left = X2;
    p.LineHenkou1.top = Y1;
    LayoutPass(p, W, H);
    const QList<float> actual{p.Koumoku.width,   p.Naiyou.width,   p.Naiyou.height, p.LineHenkou2.height,
                              p.MainText.left,   p.MainText.width, p.MainText.height, p.Brw.left,
                              p.Brw.top,         p.Brw.width,      p.Brw.height,    p.LineHenkou1.left,
                              p.LineHenkou1.width};
    QCOMPARE(actual, expected);
    // The fixed edges never move.
    QCOMPARE(p.Koumoku.left, 120.f);
    QCOMPARE(p.Naiyou.top, 1440.f);
    QCOMPARE(p.MainText.top, 120.f);
    QCOMPARE(p.Koumoku.height, 1320.f);

    // Restoring after minimising gives back every rectangle.
    PaneRects again = p;
    LayoutPass(again, 2400.f, 450.f);
    LayoutPass(again, W, H);
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
    QCOMPARE(moved.Koumoku.width, start.Koumoku.width + 300.5f);
    QCOMPARE(moved.MainText.left + moved.MainText.width, start.MainText.left + start.MainText.width);

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
    QCOMPARE(down.Brw.top + down.Brw.height, moved.Brw.top + moved.Brw.height);

    // Real mouse events on the bar reach the same handlers.
    h.form->show();
    QTest::mousePress(h.form->LineHenkou2, Qt::LeftButton, Qt::KeyboardModifiers(), QPoint(2, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(22, 5), h.form->LineHenkou2->mapToGlobal(QPointF(22, 5)),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(h.form->LineHenkou2, &move);
    QCOMPARE(h.form->layout().panes().LineHenkou2.left, down.LineHenkou2.left + 300.f);
}

// Each standard key runs its menu item's handler, so every flow is the menu's: the save
// question first, then the dialog, on a changed untitled document.
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
    const int navigations = int(h.brw().navigations.size());
    const QList<QKeySequence> bindings = QKeySequence::keyBindings(QKeySequence::StandardKey(key));
    QTest::keySequence(h.form.get(), bindings.isEmpty() ? QKeySequence(QStringLiteral("Ctrl+Shift+S")) : bindings.first());
    if (effect == QLatin1String("find"))
        QVERIFY(h.form->MainText->findBar()->isVisible());
    if (effect == QLatin1String("refresh"))
        QCOMPARE(int(h.brw().navigations.size()), navigations + 1);
    if (effect == QLatin1String("zoom")) {
        QCOMPARE(h.form->MainText->zoomSteps(), 1);
        QVERIFY(h.brw().zoom > 1.09 && h.brw().zoom < 1.11);
    }
    h.verifyScriptsUsed();
}

void MainFormTest::droppedFilesOpenImportOrInsert()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    QVERIFY(QDir(h.dir.path()).mkpath(QStringLiteral("img")));
    QVERIFY(writeBytes(h.path(QStringLiteral("page.qrnf")), sjis(QStringLiteral("＜段落＞開いた\r\n"))));
    QVERIFY(writeBytes(h.path(QStringLiteral("page.html")), "<p>imported</p>"));
    const auto drop = [&](const QString &name) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(h.path(name))});
        return h.form->dropFiles(&data);
    };
    QVERIFY(drop(QStringLiteral("page.qrnf")));
    QCOMPARE(h.text(), QStringLiteral("＜段落＞開いた"));
    QCOMPARE(h.session().DocPath(), h.path(QStringLiteral("page.qrnf")));
    QTextCursor end = h.form->MainText->textCursor();
    end.movePosition(QTextCursor::End);
    h.form->MainText->setTextCursor(end);
    QVERIFY(drop(QStringLiteral("img/logo.png")));
    QCOMPARE(h.text(), QStringLiteral("＜段落＞開いた＜画像　画像ファイル＝「img/logo.png」＞"));
    h.boxes.expect(ScriptedMessageBoxes::AskToSave, false); // the inserted tag is a change
    QVERIFY(drop(QStringLiteral("page.html")));
    QVERIFY(h.text().contains(QStringLiteral("imported")));
    QCOMPARE(h.session().DocPath(), QString());
    QVERIFY(h.session().DocChanged());
}

void MainFormTest::recentFilesFollowTheDocumentsAndDropMissingOnes()
{
    MainFormHarness h;
    QVERIFY(h.form->Form_Load());
    RecentFiles other(h.path(QStringLiteral("recent.txt"))); // a second editor on the same folder
    for (int i = 0; i < 12; ++i)
        QVERIFY(other.add(h.path(QStringLiteral("old%1.qrnf").arg(i))));
    const QString page = h.path(QStringLiteral("page.qrnf"));
    QVERIFY(writeBytes(page, "x\r\n"));
    h.session().openFile(page);
    QStringList list = other.list();
    QCOMPARE(list.size(), RecentFiles::Limit);
    QCOMPARE(list.first(), page);
    QCOMPARE(list.value(1), h.path(QStringLiteral("old11.qrnf")));
    // A file that is gone leaves the list when chosen.
    h.form->openRecentFile(h.path(QStringLiteral("old11.qrnf")));
    QVERIFY(!other.list().contains(h.path(QStringLiteral("old11.qrnf"))));
    QCOMPARE(h.session().DocPath(), page);
}

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
