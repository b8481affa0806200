// What the preview decides without the web engine: where line markers go (checked against an
// HTML5 parser: a page parses to the same tree with them), which changes it can patch in place,
// which origin holds which file, and the engine's switches.

#include <support/TestFiles.h>

#include <preview/EngineSwitches.h>
#include <preview/LocalOrigins.h>
#include <preview/PageLines.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QRandomGenerator>
#include <QTest>

#include <gumbo.h>

using namespace qrn;
using namespace qrn::test;

namespace {

// A parse tree as text, without the pane's marker comments and with the text they split joined.
void describe(const GumboNode *node, QByteArray &out)
{
    if (node->type == GUMBO_NODE_COMMENT) {
        out += "<!" + QByteArray(node->v.text.text) + ">";
        return;
    }
    const bool document = node->type == GUMBO_NODE_DOCUMENT;
    if (document) {
        out += "doc(" + QByteArray(node->v.document.name) + ")";
    } else {
        const GumboElement &e = node->v.element;
        GumboStringPiece name = e.original_tag;
        if (e.tag == GUMBO_TAG_UNKNOWN)
            gumbo_tag_from_original_text(&name);
        out += QByteArray::number(e.tag_namespace) + ':'
            + (e.tag == GUMBO_TAG_UNKNOWN ? QByteArray(name.data, int(name.length)).toLower() : QByteArray(gumbo_normalized_tagname(e.tag)));
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto *a = static_cast<const GumboAttribute *>(e.attributes.data[i]);
            out += QByteArray(" ") + a->name + "=\"" + a->value + "\"";
        }
    }
    const GumboVector &list = document ? node->v.document.children : node->v.element.children;
    out += '[';
    QByteArray text;
    for (unsigned i = 0; i < list.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(list.data[i]);
        if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE || child->type == GUMBO_NODE_CDATA) {
            text += child->v.text.text;
        } else if (child->type != GUMBO_NODE_COMMENT || !QByteArray(child->v.text.text).startsWith(LineMarkerPrefix)) {
            if (!text.isEmpty())
                out += "\"" + text + "\"", text.clear();
            describe(child, out);
        }
    }
    if (!text.isEmpty())
        out += "\"" + text + "\"";
    out += ']';
}

QByteArray treeOf(const QByteArray &html)
{
    GumboOutput *output = gumbo_parse_with_options(&kGumboDefaultOptions, html.constData(), size_t(html.size()));
    QByteArray tree;
    describe(output->document, tree);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
    return tree;
}

// Pieces a page is made of: text, tags of every kind the tokenizer treats apart, and the shapes
// that fooled the markers before. (No noscript: the parser here reads it as with scripts off,
// a browser as with scripts on.)
const char *const Pieces[] = {
    "text", "日本語", "  ", "&amp;", "<p>", "</p>", "<b>", "</b>", "<div title=\"a\n>b\">", "<p class='x", "'>", "<br/>",
    "<!-->", "<!--->", "<!--", "-->", "--!>", "<!-- c -->", "<![CDATA[", "]]>", "<?x ?>", "</ x>", "</>", "<!DOCTYPE html>",
    "<script>", "</script>", "<!--<script>", "</script x=\">\">", "<script/>", "<style>", "</style>", "<textarea>",
    "</textarea>", "<title>", "</title>", "<xmp>", "</xmp>", "<iframe>", "</iframe>", "<noembed>", "</noembed>",
    "<noframes>", "</noframes>", "<plaintext>", "<math>", "</math>", "<svg>", "</svg>", "<mi>", "<foreignObject>",
    "<table>", "</table>", "<tr>", "</tr>", "<td>", "</td>", "<th>", "</th>", "<tbody>", "</tbody>", "<caption>",
    "</caption>", "<colgroup>", "<col>", "<select>", "</select>", "<option>", "<input>", "<template>", "</template>",
    "<pre>", "<a href=x>", "</a>", "<body>", "</body>", "<head>", "</head>", "<html>", "</html>", "<li>", "<frameset>",
};

QByteArray randomPage(QRandomGenerator &random)
{
    QByteArray page;
    const char *const gaps[] = {"", " ", "\n", "\r\n"};
    for (int i = random.bounded(1, 30); i > 0; --i)
        page += Pieces[random.bounded(int(std::size(Pieces)))], page += gaps[random.bounded(4)];
    return page;
}

} // namespace

class PreviewTextTest : public QObject {
    Q_OBJECT

private slots:
    // Where markers go, and rows with no expected text (the shapes that once let a marker into a
    // comment, a raw-text element or a table's text) for the parse-tree check alone.
    void lineMarkersGoWhereTextIsAndChangeNoParseTree_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QByteArray>("charset");
        QTest::addColumn<QByteArray>("marked"); // empty: only the parse tree is compared
        const auto m = [](int line) { return "<!--qrn-line " + QByteArray::number(line) + "-->"; };
        const auto row = [](const char *name, const QByteArray &page, const QByteArray &marked = {}, const char *charset = "utf-8") {
            QTest::newRow(name) << page << QByteArray(charset) << marked;
        };
        row("text lines", "<p>a\r\nb\r\n</p>\r\n", "<p>a\r\n" + m(1) + "b\r\n" + m(2) + "</p>\r\n", "shift_jis");
        row("nothing before the doctype", "<!-- c -->\n\n<!DOCTYPE html>\n<html>", "<!-- c -->\n\n<!DOCTYPE html>\n" + m(3) + "<html>");
        row("tag across lines", "<b>\n<p title=\"a\nb>\" class='\n'\nid=x>c\nd",
            "<b>\n" + m(1) + "<p title=\"a\nb>\" class='\n'\nid=x>c\n" + m(5) + "d");
        row("comment across lines", "<b>\n<!--\n-- >\n-->\ny", "<b>\n" + m(1) + "<!--\n-- >\n-->\n" + m(4) + "y");
        row("raw text", "<b>\n<script>\nif (a<b)\n</scripts>\n</SCRIPT >\n<textarea>\nt\n</textarea>\ny",
            "<b>\n" + m(1) + "<script>\nif (a<b)\n</scripts>\n</SCRIPT >\n" + m(5) + "<textarea>\nt\n</textarea>\n" + m(8) + "y");
        row("empty comments", "<b><!-->\nx<!--->\ny\n-->\nz", "<b><!-->\n" + m(1) + "x<!--->\n" + m(2) + "y\n" + m(3) + "-->\n" + m(4) + "z");
        row("CDATA in HTML is a comment to its >", "<b><![CDATA[\nx>\ny]]>\n", "<b><![CDATA[\nx>\n" + m(2) + "y]]>\n");
        row("script with a comment inside", "<b><script><!--<script>\n</script>\nx\n</script>\ny",
            "<b><script><!--<script>\n</script>\nx\n</script>\n" + m(4) + "y");
        row("table structure", "<table>\n<tr><td>\na</td>\n</tr></table>\nb", "<table>\n<tr><td>\n" + m(2) + "a</td>\n</tr></table>\n" + m(4) + "b");
        row("foreign content ends the marking", "<b>\n<svg><style>\nx</style></svg>\ny", "<b>\n" + m(1) + "<svg><style>\nx</style></svg>\ny");
        row("plaintext", "<b>\n<plaintext>\na\nb", "<b>\n" + m(1) + "<plaintext>\na\nb");
        row("no marker at the end", "<p>a</p>\n", "<p>a</p>\n");
        row("charset where < is not itself", "<b>\na", "<b>\na", "utf-16le");
        row("empty comment", "<p>a\n<!-->\nb\nc -->\nd\n");
        row("empty comment, three dashes", "<p>a\n<!--->\nb\n-->\nd\n");
        row("CDATA in HTML", "<p>a\n<![CDATA[\nb\n]]>\nc\n");
        row("script in math", "<p>a\n<math><script>\nb\n</script></math>\nc\n");
        row("style in svg", "<p>a\n<svg><style>\nb\n<!--\n</style></svg>\nc\n-->\nd\n");
        row("textarea", "<p>a\n<textarea>\nb\n</textarea>\nc\n");
        row("script escapes", "<script><!--<script>\n</script>\nx\n</script>\ny\n");
        row("table text", "<table>\nx\n<tr>\ny\n<td>\nz\n</td>\nw\n</tr></table>\nv\n");
        row("select in a table", "<table><tr><td><select>\n<option>\na\n</table>\nb\n");
    }

    void lineMarkersGoWhereTextIsAndChangeNoParseTree()
    {
        QFETCH(QByteArray, page);
        QFETCH(QByteArray, charset);
        QFETCH(QByteArray, marked);
        const QByteArray withMarkers = withLineMarkers(page, charset);
        if (!marked.isEmpty())
            QCOMPARE(withMarkers, marked);
        QCOMPARE(treeOf(withMarkers), treeOf(page));
    }

    void markersChangeNoRandomPage()
    {
        QRandomGenerator random(20261207);
        int markedPages = 0;
        for (int i = 0; i < 20000; ++i) {
            const QByteArray page = randomPage(random);
            const QByteArray marked = withLineMarkers(page, "utf-8");
            markedPages += marked != page;
            if (treeOf(marked) != treeOf(page))
                QFAIL(qPrintable(QStringLiteral("page %1 parses differently with markers:\n%2\n---\n%3")
                                     .arg(i).arg(QString::fromUtf8(page), QString::fromUtf8(marked))));
        }
        QVERIFY2(markedPages > 5000, qPrintable(QString::number(markedPages)));
    }

    void textOnlyChangesAreFoundLineByLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("firstLine");
        QTest::addColumn<QByteArray>("oldLines");
        QTest::addColumn<QByteArray>("newLines");
        // No first line: no text-only change.
        const auto row = [](const char *name, const char *before, const char *after, int firstLine = -1, const char *oldLines = "",
                            const char *newLines = "") {
            QTest::newRow(name) << QByteArray(before) << QByteArray(after) << firstLine << QByteArray(oldLines) << QByteArray(newLines);
        };
        row("a character typed", "<p>\nab\ncd\n</p>\n", "<p>\naXb\ncd\n</p>\n", 1, "ab\n", "aXb\n");
        row("a line split", "<p>\nab\n</p>\n", "<p>\na\nb\n</p>\n", 1, "ab\n", "a\nb\n");
        row("two lines joined", "<p>\na\nb\n</p>\n", "<p>\nab\n</p>\n", 1, "a\nb\n", "ab\n");
        row("a tag typed", "<p>\nab\n</p>\n", "<p>\na<b>b\n</p>\n");
        row("the last line", "<p>\nab", "<p>\nabc");
        row("no change", "<p>\na\n", "<p>\na\n");
    }

    void textOnlyChangesAreFoundLineByLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        // None stands as a change at line -1 of nothing.
        const TextLinesChange change = textLinesChange(before, after).value_or(TextLinesChange{-1});
        QTEST(change.firstLine, "firstLine");
        QTEST(change.oldLines, "oldLines");
        QTEST(change.newLines, "newLines");
        QCOMPARE(change.newLineCount, int(change.newLines.count('\n')));
    }

    void textRunChangesAreFoundInTheirLine_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QList<QByteArray>>("oldRuns");
        QTest::addColumn<int>("run");
        QTest::addColumn<QByteArray>("newRun"); // empty: no change of one run (none stands as line -1)
        QTest::addColumn<bool>("lastLine");
        const auto row = [](const char *name, const char *before, const char *after, const QList<QByteArray> &oldRuns = {}, int run = 0,
                            const char *newRun = "", bool lastLine = false) {
            QTest::newRow(name) << QByteArray(before) << QByteArray(after) << oldRuns << run << QByteArray(newRun) << lastLine;
        };
        row("after a tag", "<p>\n<b>ab</b>cd\n</p>\n", "<p>\n<b>ab</b>cXd\n</p>\n", {"ab", "cd\n"}, 1, "cXd\n");
        row("on the last line", "<p>\nab<br>cd\n", "<p>\naXb<br>cd\n", {"ab", "cd\n"}, 0, "aXb", true);
        row("inside a tag", "<p title=ab>x\n\n", "<p title=aXb>x\n\n");
        row("a line with a script", "<p>\na<script>x</script>b\n\n", "<p>\na<script>x</script>bc\n\n");
        row("text where there was none", "<p>\n<b></b>\n\n", "<p>\n<b>x</b>\n\n");
        row("a line break typed", "<p>\n<b>ab</b>\n\n", "<p>\n<b>a\nb</b>\n\n");
        row("a line begun inside a tag", "<p\ntitle=x>ab\n\n", "<p\ntitle=x>aXb\n\n");
        row("a \"<\" that opens nothing", "<p>\na < b<i>c</i>\n\n", "<p>\na < bX<i>c</i>\n\n", {"a < b", "c", "\n"}, 0, "a < bX");
        row("a bogus comment", "<p>\na<![CDATA[x]]>b\n\n", "<p>\na<![CDATA[x]]>bc\n\n", {"a", "b\n"}, 1, "bc\n");
    }

    void textRunChangesAreFoundInTheirLine()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const TextRunChange change = textRunChange(before, after).value_or(TextRunChange{-1});
        QTEST(change.newRun, "newRun");
        QCOMPARE(change.line, change.newRun.isEmpty() ? -1 : 1);
        QTEST(change.oldRuns, "oldRuns");
        QTEST(change.run, "run");
        QTEST(change.lastLine, "lastLine");
    }

    // Lines with elements changed: the block of lines to patch, or none where a patch must not reach.
    void blockChangesLeaveTheHeadAndScriptsToALoad_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QList<int>>("block"); // first line, old and new line count; empty: none
        QTest::newRow("an element put in") << QByteArray("<p>\na\nb\n") << QByteArray("<p>\na<i>x</i>\nb\n") << QList<int>{1, 1, 1};
        QTest::newRow("a line put in") << QByteArray("<p>\na\nb\nc\n") << QByteArray("<p>\na\n<hr>\nb\nc\n") << QList<int>{2, 1, 2};
        QTest::newRow("the head") << QByteArray("<title>a</title>\n<p>\n") << QByteArray("<title>ab</title>\n<p>\n") << QList<int>{};
        QTest::newRow("a style sheet") << QByteArray("<p>\na\n") << QByteArray("<p>\n<style>p{}</style>a\n") << QList<int>{};
        QTest::newRow("a script") << QByteArray("<p>\na\nb\n") << QByteArray("<p>\n<SCRIPT>1</SCRIPT>\nb\n") << QList<int>{};
        QTest::newRow("no line after") << QByteArray("<p>\na") << QByteArray("<p>\na<b>") << QList<int>{};
    }

    void blockChangesLeaveTheHeadAndScriptsToALoad()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        const std::optional<BlockChange> change = blockChange(before, after);
        const QList<int> block = change ? QList<int>{change->firstLine, change->oldLineCount, change->newLineCount} : QList<int>();
        QTEST(block, "block");
    }

    void environmentSwitchesCannotReopenTheNetwork()
    {
        // The engine keeps only the last of two equal switches: features to disable are merged into one.
        QCOMPARE(previewEngineSwitches(QStringLiteral("--disable-gpu  --disable-blink-features=Foo,Bar --lang=en-US"
                                                      " --force-webrtc-ip-handling-policy=default --proxy-server=relay:3128")),
                 QStringLiteral("--disable-gpu --disable-blink-features=Foo,Bar,WebTransport"
                                " --force-webrtc-ip-handling-policy=disable_non_proxied_udp --no-proxy-server --lang=ja"));
        const QString once = previewEngineSwitches(QString());
        QCOMPARE(previewEngineSwitches(once), once);
    }

    // An origin holds one file: not its folder, a sibling, or what a link leads to.
    void originsHoldOneFileEach()
    {
        QTemporaryDir work;
        QVERIFY(QDir(work.path()).mkdir(QStringLiteral("site")) && QDir(work.path()).mkdir(QStringLiteral("site-private")));
        const QString page = work.filePath(QStringLiteral("site/page.htm"));
        const QString own = work.filePath(QStringLiteral("site/own.txt"));
        QVERIFY(writeBytes(page, "p") && writeBytes(own, "own") && writeBytes(work.filePath(QStringLiteral("site-private/s.txt")), "s"));
        QVERIFY(QFile::link(page, work.filePath(QStringLiteral("site/link.htm"))));

        LocalOrigins origins;
        const QUrl url = origins.urlOf(page);
        const auto in = [&](const QString &name) { return url.resolved(QUrl(name)); };
        for (const char *same : {"page.htm", "sub/..%2fpage.htm", "link.htm"})
            QVERIFY2(origins.servableFile(in(QLatin1String(same))) == QFileInfo(page).canonicalFilePath(), same);
        for (const char *refused : {".", "own.txt", "../site-private/s.txt", "missing.txt", "..%2f..%2fetc/passwd"})
            QVERIFY2(origins.servableFile(in(QLatin1String(refused))).isEmpty(), refused);
        QVERIFY(origins.urlOf(own).host() != url.host());
        QCOMPARE(origins.urlOf(work.filePath(QStringLiteral("site/link.htm"))).host(), url.host());
        QVERIFY(!origins.knows(QStringLiteral("p0")));
    }

    // A large page replaced by another is loaded where it shows; an edit of it, or a small page, is not.
    void anotherLargeDocumentIsNoEdit()
    {
        const QByteArray large(300 * 1024, 'a'), other(300 * 1024, 'b');
        QVERIFY(isMostlyNewPage(large, other));
        QVERIFY(!isMostlyNewPage(large, QByteArray(large).insert(1000, "<b>x</b>")));
        QVERIFY(!isMostlyNewPage("small", "other"));
    }
};

QTEST_GUILESS_MAIN(PreviewTextTest)

#include "PreviewTextTest.moc"
