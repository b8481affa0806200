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

// A parse tree as text, with the pane's marker comments left out and neighbouring text joined,
// since a marker only splits a text node in two.
void describe(const GumboNode *node, QByteArray &out)
{
    const auto children = [&](const GumboVector &list) {
        out += '[';
        QByteArray text;
        for (unsigned i = 0; i < list.length; ++i) {
            const auto *child = static_cast<const GumboNode *>(list.data[i]);
            if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE || child->type == GUMBO_NODE_CDATA) {
                text += child->v.text.text;
                continue;
            }
            if (child->type == GUMBO_NODE_COMMENT && QByteArray(child->v.text.text).startsWith(LineMarkerPrefix))
                continue;
            if (!text.isEmpty())
                out += "\"" + text + "\"", text.clear();
            describe(child, out);
        }
        if (!text.isEmpty())
            out += "\"" + text + "\"";
        out += ']';
    };
    switch (node->type) {
    case GUMBO_NODE_DOCUMENT:
        out += "doc(" + QByteArray(node->v.document.name) + ")";
        children(node->v.document.children);
        break;
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: {
        const GumboElement &e = node->v.element;
        out += QByteArray::number(e.tag_namespace) + ':';
        if (e.tag == GUMBO_TAG_UNKNOWN) {
            GumboStringPiece name = e.original_tag;
            gumbo_tag_from_original_text(&name);
            out += QByteArray(name.data, int(name.length)).toLower();
        } else {
            out += gumbo_normalized_tagname(e.tag);
        }
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto *a = static_cast<const GumboAttribute *>(e.attributes.data[i]);
            out += QByteArray(" ") + a->name + "=\"" + a->value + "\"";
        }
        children(e.children);
        break;
    }
    case GUMBO_NODE_COMMENT:
        out += "<!" + QByteArray(node->v.text.text) + ">";
        break;
    default:
        out += "\"" + QByteArray(node->v.text.text) + "\"";
    }
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
    const int count = random.bounded(1, 30);
    for (int i = 0; i < count; ++i) {
        page += Pieces[random.bounded(int(std::size(Pieces)))];
        const int gap = random.bounded(4);
        page += gap == 0 ? "" : gap == 1 ? " " : gap == 2 ? "\n" : "\r\n";
    }
    return page;
}

} // namespace

class PreviewTextTest : public QObject {
    Q_OBJECT

private slots:
    void environmentSwitchesCannotReopenTheNetwork();
    void anotherLargeDocumentIsNoEdit();
    void originsHoldOneFileEach();
    void markersChangeNoParseTree_data();
    void markersChangeNoParseTree();
    void markersChangeNoRandomPage();
    void lineMarkersGoWhereTextIs_data();
    void lineMarkersGoWhereTextIs();
    void textOnlyChangesAreFoundLineByLine_data();
    void textOnlyChangesAreFoundLineByLine();
    void textRunChangesAreFoundInTheirLine_data();
    void textRunChangesAreFoundInTheirLine();
};

// The shapes that once let a marker into a comment, a raw-text element or a table's text.
void PreviewTextTest::markersChangeNoParseTree_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::newRow("empty comment") << QByteArray("<p>a\n<!-->\nb\nc -->\nd\n");
    QTest::newRow("empty comment, three dashes") << QByteArray("<p>a\n<!--->\nb\n-->\nd\n");
    QTest::newRow("CDATA in HTML") << QByteArray("<p>a\n<![CDATA[\nb\n]]>\nc\n");
    QTest::newRow("script in math") << QByteArray("<p>a\n<math><script>\nb\n</script></math>\nc\n");
    QTest::newRow("style in svg") << QByteArray("<p>a\n<svg><style>\nb\n<!--\n</style></svg>\nc\n-->\nd\n");
    QTest::newRow("textarea") << QByteArray("<p>a\n<textarea>\nb\n</textarea>\nc\n");
    QTest::newRow("script escapes") << QByteArray("<script><!--<script>\n</script>\nx\n</script>\ny\n");
    QTest::newRow("table text") << QByteArray("<table>\nx\n<tr>\ny\n<td>\nz\n</td>\nw\n</tr></table>\nv\n");
    QTest::newRow("select in a table") << QByteArray("<table><tr><td><select>\n<option>\na\n</table>\nb\n");
}

void PreviewTextTest::markersChangeNoParseTree()
{
    QFETCH(QByteArray, page);
    const QByteArray marked = withLineMarkers(page, "utf-8");
    QCOMPARE(treeOf(marked), treeOf(page));
}

void PreviewTextTest::markersChangeNoRandomPage()
{
    QRandomGenerator random(20261207);
    int markedPages = 0;
    for (int i = 0; i < 20000; ++i) {
        const QByteArray page = randomPage(random);
        const QByteArray marked = withLineMarkers(page, "utf-8");
        markedPages += marked != page;
        if (treeOf(marked) != treeOf(page))
            QFAIL(qPrintable(QStringLiteral("page %1 parses differently with markers:\n%2\n---\n%3")
                                 .arg(i)
                                 .arg(QString::fromUtf8(page), QString::fromUtf8(marked))));
    }
    QVERIFY2(markedPages > 5000, qPrintable(QString::number(markedPages)));
}

void PreviewTextTest::lineMarkersGoWhereTextIs_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("charset");
    QTest::addColumn<QByteArray>("marked");
    const auto m = [](int line) { return "<!--qrn-line " + QByteArray::number(line) + "-->"; };
    QTest::newRow("text lines") << QByteArray("<p>a\r\nb\r\n</p>\r\n") << QByteArray("shift_jis")
                                << "<p>a\r\n" + m(1) + "b\r\n" + m(2) + "</p>\r\n";
    QTest::newRow("nothing before the doctype") << QByteArray("<!-- c -->\n\n<!DOCTYPE html>\n<html>") << QByteArray("utf-8")
                                                << "<!-- c -->\n\n<!DOCTYPE html>\n" + m(3) + "<html>";
    QTest::newRow("tag across lines") << QByteArray("<b>\n<p title=\"a\nb>\" class='\n'\nid=x>c\nd") << QByteArray("utf-8")
                                      << "<b>\n" + m(1) + "<p title=\"a\nb>\" class='\n'\nid=x>c\n" + m(5) + "d";
    QTest::newRow("comment across lines") << QByteArray("<b>\n<!--\n-- >\n-->\ny") << QByteArray("utf-8")
                                          << "<b>\n" + m(1) + "<!--\n-- >\n-->\n" + m(4) + "y";
    QTest::newRow("raw text") << QByteArray("<b>\n<script>\nif (a<b)\n</scripts>\n</SCRIPT >\n<textarea>\nt\n</textarea>\ny")
                              << QByteArray("utf-8")
                              << "<b>\n" + m(1) + "<script>\nif (a<b)\n</scripts>\n</SCRIPT >\n" + m(5)
                                     + "<textarea>\nt\n</textarea>\n" + m(8) + "y";
    QTest::newRow("empty comments") << QByteArray("<b><!-->\nx<!--->\ny\n-->\nz") << QByteArray("utf-8")
                                    << "<b><!-->\n" + m(1) + "x<!--->\n" + m(2) + "y\n" + m(3) + "-->\n" + m(4) + "z";
    QTest::newRow("CDATA in HTML is a comment to its >") << QByteArray("<b><![CDATA[\nx>\ny]]>\n") << QByteArray("utf-8")
                                                         << "<b><![CDATA[\nx>\n" + m(2) + "y]]>\n";
    QTest::newRow("script with a comment inside") << QByteArray("<b><script><!--<script>\n</script>\nx\n</script>\ny")
                                                  << QByteArray("utf-8")
                                                  << "<b><script><!--<script>\n</script>\nx\n</script>\n" + m(4) + "y";
    QTest::newRow("table structure") << QByteArray("<table>\n<tr><td>\na</td>\n</tr></table>\nb") << QByteArray("utf-8")
                                     << "<table>\n<tr><td>\n" + m(2) + "a</td>\n</tr></table>\n" + m(4) + "b";
    QTest::newRow("foreign content ends the marking") << QByteArray("<b>\n<svg><style>\nx</style></svg>\ny")
                                                      << QByteArray("utf-8") << "<b>\n" + m(1) + "<svg><style>\nx</style></svg>\ny";
    QTest::newRow("plaintext") << QByteArray("<b>\n<plaintext>\na\nb") << QByteArray("utf-8") << "<b>\n" + m(1) + "<plaintext>\na\nb";
    QTest::newRow("no marker at the end") << QByteArray("<p>a</p>\n") << QByteArray("utf-8") << QByteArray("<p>a</p>\n");
    QTest::newRow("charset where < is not itself") << QByteArray("<b>\na") << QByteArray("utf-16le") << QByteArray("<b>\na");
}

void PreviewTextTest::lineMarkersGoWhereTextIs()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, charset);
    QFETCH(QByteArray, marked);
    QCOMPARE(withLineMarkers(page, charset), marked);
}

void PreviewTextTest::textOnlyChangesAreFoundLineByLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("firstLine");
    QTest::addColumn<QByteArray>("oldLines");
    QTest::addColumn<QByteArray>("newLines"); // empty: no text-only change
    QTest::newRow("a character typed") << QByteArray("<p>\nab\ncd\n</p>\n") << QByteArray("<p>\naXb\ncd\n</p>\n") << 1
                                       << QByteArray("ab\n") << QByteArray("aXb\n");
    QTest::newRow("a line split") << QByteArray("<p>\nab\n</p>\n") << QByteArray("<p>\na\nb\n</p>\n") << 1 << QByteArray("ab\n")
                                  << QByteArray("a\nb\n");
    QTest::newRow("two lines joined") << QByteArray("<p>\na\nb\n</p>\n") << QByteArray("<p>\nab\n</p>\n") << 1
                                      << QByteArray("a\nb\n") << QByteArray("ab\n");
    QTest::newRow("a tag typed") << QByteArray("<p>\nab\n</p>\n") << QByteArray("<p>\na<b>b\n</p>\n") << 0 << QByteArray()
                                 << QByteArray();
    QTest::newRow("the last line") << QByteArray("<p>\nab") << QByteArray("<p>\nabc") << 0 << QByteArray() << QByteArray();
    QTest::newRow("no change") << QByteArray("<p>\na\n") << QByteArray("<p>\na\n") << 0 << QByteArray() << QByteArray();
}

void PreviewTextTest::textOnlyChangesAreFoundLineByLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, newLines);
    const auto change = textLinesChange(before, after);
    QCOMPARE(change.has_value(), !newLines.isEmpty());
    if (change) {
        QTEST(change->firstLine, "firstLine");
        QTEST(change->oldLines, "oldLines");
        QCOMPARE(change->newLines, newLines);
        QCOMPARE(change->newLineCount, int(newLines.count('\n')));
    }
}

void PreviewTextTest::textRunChangesAreFoundInTheirLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QList<QByteArray>>("oldRuns");
    QTest::addColumn<int>("run");
    QTest::addColumn<QByteArray>("newRun"); // empty: no change of one run
    QTest::addColumn<bool>("lastLine");
    QTest::newRow("after a tag") << QByteArray("<p>\n<b>ab</b>cd\n</p>\n") << QByteArray("<p>\n<b>ab</b>cXd\n</p>\n")
                                 << QList<QByteArray>{"ab", "cd\n"} << 1 << QByteArray("cXd\n") << false;
    QTest::newRow("on the last line") << QByteArray("<p>\nab<br>cd\n") << QByteArray("<p>\naXb<br>cd\n")
                                      << QList<QByteArray>{"ab", "cd\n"} << 0 << QByteArray("aXb") << true;
    QTest::newRow("inside a tag") << QByteArray("<p title=ab>x\n\n") << QByteArray("<p title=aXb>x\n\n") << QList<QByteArray>{} << 0
                                  << QByteArray() << false;
    QTest::newRow("a line with a script") << QByteArray("<p>\na<script>x</script>b\n\n") << QByteArray("<p>\na<script>x</script>bc\n\n")
                                          << QList<QByteArray>{} << 0 << QByteArray() << false;
    QTest::newRow("text where there was none") << QByteArray("<p>\n<b></b>\n\n") << QByteArray("<p>\n<b>x</b>\n\n")
                                               << QList<QByteArray>{} << 0 << QByteArray() << false;
    QTest::newRow("a line break typed") << QByteArray("<p>\n<b>ab</b>\n\n") << QByteArray("<p>\n<b>a\nb</b>\n\n")
                                        << QList<QByteArray>{} << 0 << QByteArray() << false;
}

void PreviewTextTest::textRunChangesAreFoundInTheirLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, newRun);
    const auto change = textRunChange(before, after);
    QCOMPARE(change.has_value(), !newRun.isEmpty());
    if (change) {
        QCOMPARE(change->line, 1);
        QTEST(change->oldRuns, "oldRuns");
        QTEST(change->run, "run");
        QCOMPARE(change->newRun, newRun);
        QTEST(change->lastLine, "lastLine");
    }
}


void PreviewTextTest::environmentSwitchesCannotReopenTheNetwork()
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
void PreviewTextTest::originsHoldOneFileEach()
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
    const QString real = QFileInfo(page).canonicalFilePath();
    QCOMPARE(origins.servableFile(url), real);
    QCOMPARE(origins.servableFile(in(QStringLiteral("sub/..%2fpage.htm"))), real);
    QCOMPARE(origins.servableFile(in(QStringLiteral("link.htm"))), real);
    for (const char *refused : {".", "own.txt", "../site-private/s.txt", "missing.txt", "..%2f..%2fetc/passwd"})
        QVERIFY2(origins.servableFile(in(QLatin1String(refused))).isEmpty(), refused);
    QVERIFY(origins.urlOf(own).host() != url.host());
    QCOMPARE(origins.urlOf(work.filePath(QStringLiteral("site/link.htm"))).host(), url.host());
    QVERIFY(!origins.knows(QStringLiteral("p0")));
}

// A large page replaced by another is loaded where it shows; an edit of it, or a small page, is not.
void PreviewTextTest::anotherLargeDocumentIsNoEdit()
{
    const QByteArray large(300 * 1024, 'a'), other(300 * 1024, 'b');
    QVERIFY(isMostlyNewPage(large, other));
    QVERIFY(!isMostlyNewPage(large, QByteArray(large).insert(1000, "<b>x</b>")));
    QVERIFY(!isMostlyNewPage("small", "other"));
}

QTEST_GUILESS_MAIN(PreviewTextTest)

#include "PreviewTextTest.moc"
