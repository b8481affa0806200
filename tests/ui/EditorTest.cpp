// The editor box on its own: highlighting by the delivered dictionary, the unknown-word warning,
// completion of tag words, the find and replace bar, the line numbers and the page check.

#include <core/TagFileFormat.h>
#include <editor/EditorText.h>
#include <editor/FindBar.h>
#include <editor/HighlightColors.h>
#include <editor/LineNumberArea.h>
#include <editor/PageChecker.h>
#include <editor/TagCompleter.h>
#include <editor/TagHighlighter.h>
#include <storage/TextCodec.h>
#include <support/TestFiles.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <memory>

using namespace qrn;

namespace {

// The format highlighting gave the character at a column of a line.
QTextCharFormat formatAt(const EditorText &editor, int line, int column)
{
    for (const QTextLayout::FormatRange &range : editor.document()->findBlockByNumber(line).layout()->formats())
        if (column >= range.start && column < range.start + range.length)
            return range.format;
    return {};
}

QColor colorAt(const EditorText &editor, int line, int column)
{
    const QTextCharFormat f = formatAt(editor, line, column);
    return f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : QColor();
}

// The tooltip hovering over a character shows, or empty text when the editor declines to show
// one (a tip shown before fades out slowly, so whether one is visible says little).
QString toolTipOver(EditorText &editor, int position)
{
    QTextCursor c(editor.document());
    c.setPosition(position);
    const QRect left = editor.cursorRect(c);
    c.setPosition(position + 1);
    const QPoint at((left.left() + editor.cursorRect(c).left()) / 2, left.center().y());
    QHelpEvent help(QEvent::ToolTip, at, editor.viewport()->mapToGlobal(at));
    QApplication::sendEvent(editor.viewport(), &help);
    return help.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
}

QStringList listed(const TagCompleter &completer)
{
    QStringList words;
    for (int row = 0; row < completer.popup()->model()->rowCount(); ++row)
        words << completer.popup()->model()->index(row, 0).data().toString();
    return words;
}

// Key presses that carry text, as a keyboard layout writing these characters sends them.
void typeKeys(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void typeWithInputMethod(EditorText &editor, const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(&editor, &event);
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override { return paints += event->type() == QEvent::Paint, false; }
};

bool anyMessageBox()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget *w) { return qobject_cast<QMessageBox *>(w) != nullptr; });
}

} // namespace

class EditorTest : public QObject {
    Q_OBJECT

private:
    TagTable m_table;
    std::unique_ptr<EditorText> m_editor;

    EditorText &editor() { return *m_editor; }
    int columnOf(int line, const QString &what) { return int(editor().document()->findBlockByNumber(line).text().indexOf(what)); }
    QColor colorOf(int line, const QString &what) { return colorAt(editor(), line, columnOf(line, what)); }
    void setCaret(int position)
    {
        QTextCursor c = editor().textCursor();
        c.setPosition(position);
        editor().setTextCursor(c);
    }

private slots:
    void initTestCase()
    {
        // The delivered dictionary, read from its readable source.
        ReadTagFileText(toU16View(QString::fromUtf8(qrn::test::readAllBytes(QStringLiteral(QRN_DATA_DIR "/KirikoDate.txt")))), m_table);
        QVERIFY2(m_table.TagCount() > 100, "the delivered dictionary source is readable");
    }

    void init()
    {
        m_editor = std::make_unique<EditorText>(nullptr);
        m_editor->setBackColor(0x00FFFFFF);
        m_editor->setForeColor(0);
        m_editor->setTagTable(&m_table);
        m_editor->resize(700, 400);
        m_editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
        m_editor->activateWindow();
        m_editor->setFocus();
    }

    void cleanup()
    {
        QToolTip::hideText();
        m_editor.reset();
    }

    // --- Highlighting ------------------------------------------------------------------------

    // Each kind of span in a colour of its own; a tag that goes on over a line end keeps its
    // state, plain HTML passes quietly, and a "（" at a line end is text: the line end follows it.
    void everyKindOfSpanHasItsColourAcrossLines()
    {
        editor().setText(QStringLiteral("＜全体　背景色＝「白」＞本文（【強調（】\r\n"
                                        "＜書体　色＝\r\n"
                                        "「黒」＞<div class=\"x\">末尾（\r\n"
                                        "（【次"));
        const HighlightColors &c = editor().highlighter()->colors();
        const QList<QColor> kinds{c.bracket, c.tagName, c.attribute, c.value, c.escape, c.quiet};
        for (const QColor &kind : kinds)
            QVERIFY2(kinds.count(kind) == 1, "each kind has a colour of its own");
        const struct { int line; const char *at; QColor color; } expected[] = {
            {0, "＜", c.bracket}, {0, "全体", c.tagName}, {0, "　", c.bracket}, {0, "背景色", c.attribute}, {0, "＝", c.bracket},
            {0, "白", c.value}, {0, "（【", c.escape}, {0, "本文", QColor()}, {1, "色", c.attribute}, {2, "「", c.bracket},
            {2, "黒", c.value}, {2, "＞", c.bracket}, {2, "div", c.quiet}, {2, "x", c.quiet}, {2, "（", QColor()},
            {3, "（【", c.escape}, {3, "次", QColor()}};
        for (const auto &e : expected)
            QVERIFY2(colorOf(e.line, QString::fromUtf8(e.at)) == e.color, e.at);
        QCOMPARE(formatAt(editor(), 2, columnOf(2, QStringLiteral("div"))).underlineStyle(), QTextCharFormat::NoUnderline);
    }

    void anEditCarriesTheTagStateToTheFollowingLinesOnlyWhileItChanges()
    {
        editor().setText(QStringLiteral("前\r\n全体＞後\r\n＜段落＞"));
        const HighlightColors &c = editor().highlighter()->colors();
        QCOMPARE(colorAt(editor(), 1, 0), QColor());

        // "＜" typed at the end of line 1 opens a tag that line 2's "＞" closes.
        setCaret(1);
        typeKeys(&editor(), QStringLiteral("＜"));
        QCOMPARE(colorAt(editor(), 1, 0), c.tagName);
        // "\r\n全体" is no word, but it is not judged while the caret writes the tag above it.
        QCOMPARE(formatAt(editor(), 1, 0).underlineStyle(), QTextCharFormat::NoUnderline);
        QCOMPARE(colorOf(1, QStringLiteral("後")), QColor());
        QCOMPARE(colorOf(2, QStringLiteral("段落")), c.tagName);

        // Taken back: line 2 is page text again.
        QTest::keyClick(&editor(), Qt::Key_Backspace);
        QCOMPARE(colorAt(editor(), 1, 0), QColor());

        // From one state inside a tag to another: a separator typed at the end of line 1 makes
        // line 2's word an attribute instead of part of the tag name.
        editor().setText(QStringLiteral("＜書体\r\n色＝「白」＞"));
        QCOMPARE(colorAt(editor(), 1, 0), c.tagName);
        setCaret(3);
        typeKeys(&editor(), QStringLiteral("　"));
        QCOMPARE(colorAt(editor(), 1, 0), c.attribute);
    }

    // Highlighting is no edit; a dark background set by the user colours the words again, lighter.
    void highlightingNeverCountsAsAChangeOfTheText()
    {
        editor().setText(QStringLiteral("＜全体＞＜見出1＞"));
        QSignalSpy changed(&editor(), &QPlainTextEdit::textChanged);
        editor().rehighlightAll();
        const QColor onWhite = colorAt(editor(), 0, 1);
        editor().setBackColor(0x00400000); // dark blue, as 0x00BBGGRR
        const QColor onDark = colorAt(editor(), 0, 1);
        QCOMPARE(onDark, editor().highlighter()->colors().tagName);
        QVERIFY(onDark != onWhite && contrastRatio(onDark, QColor(0, 0, 0x40)) >= 4.5);
        editor().setTagTable(nullptr);
        editor().setTagTable(&m_table);
        QCOMPARE(changed.count(), 0); // so the document is not modified either

        // A new editor given its text before its dictionary, as a window starting up may do:
        // the highlighting that follows, now and once the event loop runs, is no edit either.
        EditorText fresh(nullptr);
        fresh.setText(QStringLiteral("＜全体　背景色＝「白」＞＜見出1＞"));
        QSignalSpy freshChanged(&fresh, &QPlainTextEdit::textChanged);
        fresh.setTagTable(&m_table);
        QCoreApplication::processEvents();
        QCOMPARE(freshChanged.count(), 0);
        QCOMPARE(colorAt(fresh, 0, 1), fresh.highlighter()->colors().tagName);
    }

    void coloursStayReadableOnTheUsersBackground()
    {
        for (const QColor &background : {QColor(Qt::white), QColor(Qt::black), QColor(0, 0, 0x60), QColor(0x80, 0x80, 0x80),
                                         QColor(0xFF, 0xFF, 0xC0), QColor(0x30, 0x30, 0x30)}) {
            const QColor text = contrastRatio(background, Qt::black) > contrastRatio(background, Qt::white) ? Qt::black : Qt::white;
            const HighlightColors c = highlightColorsFor(background, text);
            for (const QColor &kind : {c.bracket, c.tagName, c.attribute, c.value, c.escape})
                QVERIFY2(contrastRatio(kind, background) >= 4.5, qPrintable(background.name() + " " + kind.name()));
            QVERIFY(contrastRatio(c.quiet, background) >= 3.0 && contrastRatio(c.warning, background) >= 3.0);
        }
    }

    // --- Unknown words -----------------------------------------------------------------------

    void misspeltJapaneseWordIsUnderlinedAndSaysSoOnHover()
    {
        editor().setText(QStringLiteral("＜見出1＞本文＜見出し1終わり＞<span>"));
        const int typo = columnOf(0, "見出1");
        const QTextCharFormat marked = formatAt(editor(), 0, typo + 1);
        QCOMPARE(marked.underlineStyle(), QTextCharFormat::WaveUnderline);
        QCOMPARE(marked.underlineColor(), editor().highlighter()->colors().warning);
        QCOMPARE(formatAt(editor(), 0, columnOf(0, "見出し1終わり")).underlineStyle(), QTextCharFormat::NoUnderline);

        QCOMPARE(toolTipOver(editor(), typo + 1), Qt::convertFromPlainText(QStringLiteral("辞書にない語です：「見出1」")));
        QCOMPARE(toolTipOver(editor(), columnOf(0, "本文")), QString());

        // The word came from the document: the tooltip shows it as plain text.
        editor().setText(QStringLiteral("＜漢&amp;字＞"));
        QCOMPARE(toolTipOver(editor(), 2), Qt::convertFromPlainText(QStringLiteral("辞書にない語です：「漢&amp;字」")));

        // A word still being typed at the end of a line, in a tag not yet closed, is not judged,
        // until the caret moves away or the tag is closed.
        editor().setText(QStringLiteral("\r\n次の行"));
        setCaret(0);
        typeWithInputMethod(editor(), QStringLiteral("＜見出"));
        QCOMPARE(formatAt(editor(), 0, 2).underlineStyle(), QTextCharFormat::NoUnderline);
        setCaret(editor().toPlainText().size());
        QCOMPARE(formatAt(editor(), 0, 2).underlineStyle(), QTextCharFormat::WaveUnderline);
    }

    // --- Completion --------------------------------------------------------------------------

    void typingAfterTheBracketOffersWordsAndTypingOnFilters()
    {
        TagCompleter &completer = *editor().completer();
        editor().setText(QStringLiteral("本文"));
        setCaret(2);
        QSignalSpy changed(&editor(), &QPlainTextEdit::textChanged);

        // "＜" opens the list with no row chosen, so Enter would still mean a new line.
        typeWithInputMethod(editor(), QStringLiteral("＜"));
        QTRY_VERIFY(completer.isOpen());
        QCOMPARE(listed(completer).value(0), QStringLiteral("ページ")); // table order: the built-in entry first
        QVERIFY(!completer.popup()->currentIndex().isValid());
        // While an input method composes, the list closes; what it commits filters it.
        QInputMethodEvent composing(QStringLiteral("みだ"), {});
        QApplication::sendEvent(&editor(), &composing);
        QVERIFY(!completer.isOpen());

        typeWithInputMethod(editor(), QStringLiteral("見出"));
        QCOMPARE(listed(completer).mid(0, 4), QStringLiteral("見出し1 見出し1終わり 見出し2 見出し2終わり").split(QLatin1Char(' ')));
        for (const QString &word : listed(completer))
            QVERIFY(word.startsWith(QStringLiteral("見出")));
        // Each word with its description.
        QCOMPARE(completer.popup()->model()->index(0, 1).data().toString(), QStringLiteral("＜見出し1＞ | いちばん大きな見出し | <h1>"));

        // Typing on in the list filters it further; Enter puts the chosen word in place.
        typeKeys(completer.popup(), QStringLiteral("し2"));
        QCOMPARE(listed(completer).value(0), QStringLiteral("見出し2"));
        QTest::keyClick(completer.popup(), Qt::Key_Down);
        changed.clear();
        QTest::keyClick(completer.popup(), Qt::Key_Return);
        QCOMPARE(editor().toPlainText(), QStringLiteral("本文＜見出し2終わり"));
        QCOMPARE(changed.count(), 1);
        QVERIFY(!completer.isOpen());
        QCOMPARE(editor().textCursor().position(), editor().toPlainText().size());
    }

    // In a tag the words that fit where the caret stands: the element's after "＜", attributes
    // after a blank, values after "＝".
    void wordsInsideATagFitWhereTheCaretStands()
    {
        TagCompleter &completer = *editor().completer();
        editor().setText(QStringLiteral("書体の話＜書 色＝「白」＞"));
        // Outside a tag Ctrl+Space opens nothing and types nothing (the count of changes below).
        QSignalSpy changed(&editor(), &QPlainTextEdit::textChanged);
        setCaret(2);
        QTest::keyClick(&editor(), Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(!completer.isOpen());

        setCaret(6); // after "＜書"
        QTest::keyClick(&editor(), Qt::Key_Space, Qt::ControlModifier);
        QTRY_VERIFY(completer.isOpen());
        // After "＜" the element's words: not 書体名, an attribute.
        QCOMPARE(listed(completer), (QStringList{QStringLiteral("書体"), QStringLiteral("書体終わり")}));
        QTest::keyClick(completer.popup(), Qt::Key_Escape);
        QVERIFY(!completer.isOpen());
        QCOMPARE(changed.count(), 0); // the text is as it was

        // Tab takes the first word; only the typed part of the word is replaced.
        QTest::keyClick(&editor(), Qt::Key_Space, Qt::ControlModifier);
        QTRY_VERIFY(completer.isOpen());
        QTest::keyClick(completer.popup(), Qt::Key_Tab);
        QCOMPARE(editor().toPlainText(), QStringLiteral("書体の話＜書体 色＝「白」＞"));
        QCOMPARE(changed.count(), 1);

        // A separator typed inside a tag offers words too, but plain HTML is left alone.
        setCaret(editor().toPlainText().size());
        typeWithInputMethod(editor(), QStringLiteral("＜全体　"));
        QTRY_VERIFY(completer.isOpen());
        typeWithInputMethod(editor(), QStringLiteral("背景"));
        // After a blank, attributes: not 背景音, an element.
        QCOMPARE(listed(completer), (QStringList{QStringLiteral("背景色"), QStringLiteral("背景画像")}));
        // After "＝", values: the colours with a swatch each.
        typeWithInputMethod(editor(), QStringLiteral("色＝"));
        QTRY_VERIFY(completer.isOpen());
        QVERIFY(listed(completer).contains(QStringLiteral("白")) && !listed(completer).contains(QStringLiteral("全体")));
        const int white = int(listed(completer).indexOf(QStringLiteral("白")));
        QVERIFY(!completer.popup()->model()->index(white, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
        typeWithInputMethod(editor(), QStringLiteral("＞"));
        QVERIFY(!completer.isOpen());

        QTest::keyClicks(&editor(), QStringLiteral("<div class="));
        QVERIFY(!completer.isOpen());
    }

    // --- Find and replace --------------------------------------------------------------------

    // Find with the bar below the text, by case when asked, wrapping round with a word in the bar;
    // by whole words, every match highlighted while the bar is open.
    void findMatchesCaseOnlyWhenAskedWholeWordsAndWrapsAround()
    {
        FindBar &bar = *editor().findBar();
        editor().setText(QStringLiteral("Tag tag\r\nTAG"));
        const int viewportBottom = editor().viewport()->geometry().bottom();
        setCaret(0);
        QTest::keyClick(&editor(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(editor().viewport()->geometry().bottom() < viewportBottom); // the bar does not cover text
        QVERIFY(bar.geometry().top() > editor().viewport()->geometry().bottom());
        auto *findText = bar.findChild<QLineEdit *>(QStringLiteral("findText"));
        QTRY_VERIFY(findText->hasFocus());
        QTest::keyClicks(findText, QStringLiteral("tag"));

        // Where a search leaves the selection (-1: it found nothing), and what the bar says then.
        const auto result = [&](bool found) { return std::pair(found ? editor().textCursor().selectionStart() : -1, bar.message()); };
        const auto f3 = [&](Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(&editor(), Qt::Key_F3, modifiers); return result(true); };
        const QString wrappedToTop = QStringLiteral("末尾まで検索したので、先頭から続けました");
        QTest::keyClick(findText, Qt::Key_Return);
        QCOMPARE(result(true), std::pair(0, QString()));
        QCOMPARE(f3(), std::pair(4, QString()));
        QCOMPARE(f3(), std::pair(8, QString())); // on the next line
        QCOMPARE(f3(), std::pair(0, wrappedToTop));
        QCOMPARE(f3(Qt::ShiftModifier), std::pair(8, QStringLiteral("先頭まで検索したので、末尾から続けました")));

        bar.findChild<QCheckBox *>(QStringLiteral("matchCase"))->setChecked(true);
        QCOMPARE(result(bar.findNext()), std::pair(4, wrappedToTop));
        QCOMPARE(result(bar.findNext()), std::pair(4, wrappedToTop)); // the only one, found again after wrapping

        findText->setText(QStringLiteral("none"));
        QCOMPARE(result(bar.findNext()), std::pair(-1, QStringLiteral("見つかりません")));
        QVERIFY(!anyMessageBox());

        QTest::keyClick(findText, Qt::Key_Escape);
        QVERIFY(!bar.isVisible());
        QCOMPARE(editor().viewport()->geometry().bottom(), viewportBottom);
        QVERIFY(editor().hasFocus());

        // A whole word has no letter beside it; Esc in the editor takes the highlights away.
        editor().setText(QStringLiteral("cat category cat\r\n猫 子猫 猫"));
        setCaret(0);
        QTest::keyClick(&editor(), Qt::Key_F, Qt::ControlModifier);
        findText->setText(QStringLiteral("cat"));
        QTRY_COMPARE(editor().extraSelections().size(), 3);
        bar.findChild<QCheckBox *>(QStringLiteral("wholeWord"))->setChecked(true);
        QTRY_COMPARE(editor().extraSelections().size(), 2);
        QCOMPARE(result(bar.findNext()), std::pair(0, QString()));
        QCOMPARE(result(bar.findNext()), std::pair(13, QString()));
        QTest::keyClick(&editor(), Qt::Key_Escape);
        QCOMPARE(editor().extraSelections().size(), 0);
    }

    void replaceByRegularExpressionWithGroupsAndReplaceAllInOneStep()
    {
        FindBar &bar = *editor().findBar();
        editor().setText(QStringLiteral("幅＝100 高さ＝20\r\n幅＝7"));
        QTest::keyClick(&editor(), Qt::Key_H, Qt::ControlModifier);
        auto *findText = bar.findChild<QLineEdit *>(QStringLiteral("findText"));
        auto *replaceText = bar.findChild<QLineEdit *>(QStringLiteral("replaceText"));
        QVERIFY(replaceText->isVisible());
        findText->setText(QStringLiteral("＝(\\d+)"));
        QVERIFY(!bar.findNext()); // as plain text it is not there
        auto *regularExpression = bar.findChild<QCheckBox *>(QStringLiteral("regularExpression"));
        regularExpression->setChecked(true);
        findText->setText(QStringLiteral("(unclosed"));
        QVERIFY(!bar.findNext());
        QVERIFY(bar.message().contains(QStringLiteral("正規表現")));
        QVERIFY(!anyMessageBox());

        findText->setText(QStringLiteral("＝(\\d+)"));
        replaceText->setText(QStringLiteral("＝「\\1」"));
        setCaret(0);
        QVERIFY(bar.findNext()); // "＝100", the one replaced below
        QVERIFY(bar.replaceOne());
        QCOMPARE(editor().toPlainText(), QStringLiteral("幅＝「100」 高さ＝20\n幅＝7"));
        QCOMPARE(editor().textCursor().selectedText(), QStringLiteral("＝20")); // the next one, selected

        // A selection that only ends, or only begins, where a match does is not the match:
        // nothing is replaced.
        for (const auto &[from, to] : {std::pair{0, 4}, std::pair{1, 5}}) {
            editor().setText(QStringLiteral("x＝12 y＝3"));
            QTextCursor selection(editor().document());
            selection.setPosition(from);
            selection.setPosition(to, QTextCursor::KeepAnchor);
            editor().setTextCursor(selection);
            QVERIFY(bar.replaceOne());
            QCOMPARE(editor().text(), QStringLiteral("x＝12 y＝3"));
        }

        // Replace all, as plain text again: one change of the text and one undo step.
        const QString original = QStringLiteral("＜書体　色＝「白」＞白い\r\n白\r\n黒");
        editor().setText(original);
        editor().document()->clearUndoRedoStacks();
        regularExpression->setChecked(false);
        findText->setText(QStringLiteral("白"));
        replaceText->setText(QStringLiteral("黒"));
        QSignalSpy changed(&editor(), &QPlainTextEdit::textChanged);
        QCOMPARE(bar.replaceAll(), 3);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(editor().text(), QStringLiteral("＜書体　色＝「黒」＞黒い\r\n黒\r\n黒"));
        QCOMPARE(bar.message(), QStringLiteral("3 件置換しました"));
        // The replaced value is highlighted as the value it still is.
        QCOMPARE(colorOf(0, QStringLiteral("黒")), editor().highlighter()->colors().value);

        editor().undo();
        QCOMPARE(editor().text(), original);
        QVERIFY(!editor().document()->isUndoAvailable());

        findText->setText(QStringLiteral("青"));
        changed.clear();
        QCOMPARE(bar.replaceAll(), 0);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(bar.message(), QStringLiteral("見つかりません"));
    }

    // --- Line numbers ------------------------------------------------------------------------

    void lineNumbersFollowTheTextTheFontAndTheScroll()
    {
        LineNumberArea &numbers = *editor().lineNumberArea();
        editor().setText(QStringLiteral("行\r\n").repeated(8) + QStringLiteral("行"));
        const int narrow = numbers.width();
        editor().setText(QStringLiteral("行\r\n").repeated(149) + QStringLiteral("行"));
        QVERIFY(numbers.width() > narrow); // three digits
        QCOMPARE(editor().viewport()->geometry().left(), numbers.geometry().right() + 1);

        // Scrolled down: the margin is repainted, with the numbers of the lines in view, each
        // level with its text.
        QCoreApplication::processEvents();
        PaintCounter painted;
        numbers.installEventFilter(&painted);
        editor().verticalScrollBar()->setValue(100);
        QTRY_VERIFY(painted.paints > 0);
        const int firstInView = editor().cursorForPosition(QPoint(2, 2)).blockNumber() + 1;
        const QList<LineNumberArea::Number> shown = numbers.numbers();
        QVERIFY(firstInView > 50 && !shown.isEmpty());
        QCOMPARE(shown.first().line, firstInView);
        for (const LineNumberArea::Number &n : shown.mid(0, 5))
            QCOMPARE(n.top, editor().cursorRect(QTextCursor(editor().document()->findBlockByNumber(n.line - 1))).top());

        // The margin is drawn in the editor's colours, and the numbers are drawn on it.
        editor().setBackColor(0x00303030);
        editor().setForeColor(0x00E0E0E0);
        const QImage image = numbers.grab().toImage();
        QCOMPARE(image.pixelColor(1, image.height() - 2), QColor(0x30, 0x30, 0x30));
        bool ink = false;
        for (int i = 0; i < image.width() * image.height() && !ink; ++i)
            ink = image.pixelColor(i % image.width(), i / image.width()).lightness() > 0x60;
        QVERIFY(ink);

        // A larger editor font makes the margin wider and the lines taller.
        const int before = numbers.width();
        QFont f = editor().font();
        f.setPointSizeF(f.pointSizeF() * 2);
        editor().setFont(f);
        QVERIFY(numbers.width() > before);
        const QList<LineNumberArea::Number> larger = numbers.numbers();
        QVERIFY(larger.value(1).top - larger.value(0).top > shown.value(1).top - shown.value(0).top);
    }

    // A line far longer than the display shows is shown in pieces, and the document stays one
    // line: its text, its line numbers, the lines the preview follows, what a typed break does.
    void longLinesAreShownInPiecesAndStayOneLine()
    {
        const int limit = EditorText::DisplayLineLimit;
        QString longLine;
        while (longLine.size() < limit * 3 + 10)
            longLine += QStringLiteral("＜段落＞文😀");
        const QString text = QStringLiteral("一行目\r\n") + longLine + QStringLiteral("\r\n三行目");
        QSignalSpy progress(&editor(), &EditorText::loadProgress);
        editor().setText(text);
        QCOMPARE(editor().text(), text); // with every block no longer than the limit (below): pieces
        QCOMPARE(progress.constLast().first().toInt(), 100);
        for (QTextBlock b = editor().document()->firstBlock(); b.isValid(); b = b.next()) {
            QVERIFY(b.length() - 1 <= limit);
            QVERIFY(!b.text().isEmpty() && !b.text().front().isLowSurrogate()); // no character cut in two
        }
        const QTextBlock last = editor().document()->lastBlock();
        QCOMPARE(editor().documentLine(last), 2);
        QCOMPARE(editor().blockOfDocumentLine(2), last);
        QCOMPARE(editor().documentLine(editor().document()->findBlockByNumber(3)), 1);
        QList<int> numbered;
        for (const LineNumberArea::Number &n : editor().lineNumberArea()->numbers())
            numbered << n.line;
        QCOMPARE(numbered, (QList<int>{1, 2, 3}));

        // A break typed inside a piece is a real one; undo takes it back whole.
        setCaret(editor().document()->findBlockByNumber(2).position() + 5);
        QTest::keyClick(&editor(), Qt::Key_Return);
        const int at = QStringLiteral("一行目\r\n").size() + editor().document()->findBlockByNumber(1).length() - 1 + 5;
        QCOMPARE(editor().text(), QString(text).insert(at, QStringLiteral("\r\n")));
        editor().undo();
        QVERIFY(editor().text() == text);
    }

    // The page check while writing: a word left open is marked at its line in the notation's
    // words, listed, reached with F8; a result for a text changed since is not shown.
    void pageCheckMarksTheWordThatMadeTheProblem()
    {
        PageChecker &checker = *editor().pageChecker();
        checker.setNotesShown(false); // the page has no document type: a note, switched off
        const QString head = QStringLiteral("＜ページ＞＜ヘッド＞＜タイトル＞t＜タイトル終わり＞＜ヘッド終わり＞\r\n＜全体＞\r\n");
        editor().setText(head + QStringLiteral("文\r\n＜太字＞開いたまま\r\n＜全体終わり＞＜ページ終わり＞"));
        checker.checkNow();
        // Changed while the check runs: that result is dropped, the new text is checked.
        editor().setText(head + QStringLiteral("文\r\n文\r\n＜太字＞開いたまま\r\n＜全体終わり＞＜ページ終わり＞"));
        checker.checkNow();
        QTRY_VERIFY_WITH_TIMEOUT(!checker.problems().empty() && checker.problems().front().level == ProblemLevel::Error, 10000);
        QCOMPARE(checker.problems().front().line, 4);
        const QList<QTextEdit::ExtraSelection> marks = editor().extraSelections();
        QCOMPARE(marks.size(), 1);
        // The page's one "太字": its line is 4.
        QCOMPARE(marks[0].cursor.selectedText(), QStringLiteral("太字"));
        QCOMPARE(marks[0].format.underlineStyle(), QTextCharFormat::WaveUnderline);
        QVERIFY(checker.panel()->isVisible() && checker.panel()->count() == 1);
        QVERIFY(checker.panel()->item(0)->text().contains(QStringLiteral("＜太字＞ が閉じられていません")));
        setCaret(0);
        QTest::keyClick(&editor(), Qt::Key_F8);
        QCOMPARE(editor().textCursor().blockNumber(), 4);
        QCOMPARE(toolTipOver(editor(), marks[0].cursor.selectionStart() + 1),
                 Qt::convertFromPlainText(QStringLiteral("＜太字＞ が閉じられていません（＜太字終わり＞ がありません）")));
    }
};

QTEST_MAIN(EditorTest)
#include "EditorTest.moc"
