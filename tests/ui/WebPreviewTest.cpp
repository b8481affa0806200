// The real QtWebEngine pane, offscreen: what it shows, which local files it lets a page reach,
// and the main window's title following its loads.

#include "MainFormHarness.h"

#include <WebPreview.h>

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QWebEnginePage>
#include <QWebEngineView>

using namespace qrn;
using namespace qrn::test;

namespace {

QVariant runJs(QWebEngineView *view, const QString &script)
{
    QVariant result;
    bool done = false;
    view->page()->runJavaScript(script, [&](const QVariant &r) {
        result = r;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 10000);
    return result;
}

bool loadAndWait(WebPreview &pane, const QString &path)
{
    QSignalSpy spy(&pane, &PreviewView::loadFinished);
    pane.navigate(path);
    return spy.wait(20000);
}

} // namespace

class WebPreviewTest : public QObject {
    Q_OBJECT

private slots:
    void showsShiftJisPageWithoutCharset();
    void pageReachesOnlyFilesInsideItsFolder();
    void refreshOfTheSamePageKeepsScrollPosition();
    void mainWindowTitleFollowsTheRealPane();
};

void WebPreviewTest::showsShiftJisPageWithoutCharset()
{
    QTemporaryDir dir;
    QWidget host;
    WebPreview pane(&host);
    host.resize(400, 300);
    pane.widget()->resize(400, 300);
    host.show();
    const QString page = dir.filePath(QStringLiteral("Kiriko_WaitFile.htm"));
    QVERIFY(writeBytes(page, sjis(QStringLiteral("<html><body>日本語のページ～＼</body></html>\r\n"))));
    QVERIFY(loadAndWait(pane, page));
    QCOMPARE(runJs(pane.view(), QStringLiteral("document.body.innerText")).toString(),
             QStringLiteral("日本語のページ～＼"));
    QVERIFY(!pane.goForward());

    // A page that names its own charset is read in it.
    const QString utf8 = dir.filePath(QStringLiteral("utf8.html"));
    QVERIFY(writeBytes(utf8, QStringLiteral("<meta charset=\"utf-8\"><body>ＵＴＦ－８の頁</body>").toUtf8()));
    QVERIFY(loadAndWait(pane, utf8));
    QCOMPARE(runJs(pane.view(), QStringLiteral("document.body.innerText")).toString(), QStringLiteral("ＵＴＦ－８の頁"));
    QVERIFY(pane.goBack());
}

void WebPreviewTest::pageReachesOnlyFilesInsideItsFolder()
{
    QTemporaryDir work, elsewhere;
    QVERIFY(QDir(work.path()).mkdir(QStringLiteral("img")));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(work.filePath(QStringLiteral("img/own.png"))));
    QVERIFY(image.save(elsewhere.filePath(QStringLiteral("foreign.png"))));
    const QString foreign = QUrl::fromLocalFile(elsewhere.filePath(QStringLiteral("foreign.png"))).toString();
    const QString page = work.filePath(QStringLiteral("page.htm"));
    QVERIFY(writeBytes(page, QStringLiteral("<html><body><img id=own src=\"img/own.png\">"
                                            "<img id=foreign src=\"%1\"></body></html>")
                                 .arg(foreign)
                                 .toUtf8()));

    QWidget host;
    WebPreview pane(&host);
    host.show();
    QVERIFY(loadAndWait(pane, page));
    QTRY_COMPARE(runJs(pane.view(), QStringLiteral("document.getElementById('own').naturalWidth")).toInt(), 4);
    QCOMPARE(runJs(pane.view(), QStringLiteral("document.getElementById('foreign').naturalWidth")).toInt(), 0);

    // A script's request for a file of another folder is refused too, under either scheme.
    const QString probe = QStringLiteral(
        "var r = []; for (const u of ['%1', '%2']) { try { const x = new XMLHttpRequest(); x.open('GET', u, false);"
        " x.send(); r.push(x.status + ':' + x.responseText.length); } catch (e) { r.push('refused'); } } r.join(',')");
    const QString result = runJs(pane.view(), probe.arg(WebPreview::urlOfFile(elsewhere.filePath(QStringLiteral("foreign.png"))).toString(), foreign)).toString();
    QCOMPARE(result, QStringLiteral("refused,refused"));

    LocalFolderRule rule;
    rule.setAllowedFolder(work.path());
    LocalFileGuard guard(rule, nullptr);
    QVERIFY(guard.allows(QUrl::fromLocalFile(work.filePath(QStringLiteral("img/own.png")))));
    QVERIFY(!guard.allows(QUrl::fromLocalFile(work.filePath(QStringLiteral("../x")))));
    QVERIFY(!guard.allows(QUrl::fromLocalFile(work.path() + QStringLiteral("x/page.htm"))));
    QVERIFY(!guard.allows(QUrl::fromLocalFile(elsewhere.filePath(QStringLiteral("foreign.png")))));
    QVERIFY(guard.allows(QUrl(QStringLiteral("data:text/plain,x"))));
}

void WebPreviewTest::refreshOfTheSamePageKeepsScrollPosition()
{
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("Kiriko_WaitFile.htm"));
    QString body;
    for (int i = 0; i < 300; ++i)
        body += QStringLiteral("<p>行 %1</p>").arg(i);
    QVERIFY(writeBytes(page, sjis(QStringLiteral("<html><body>") + body + QStringLiteral("</body></html>"))));

    QWidget host;
    host.resize(400, 300);
    WebPreview pane(&host);
    pane.widget()->resize(400, 300);
    host.show();
    QVERIFY(loadAndWait(pane, page));
    runJs(pane.view(), QStringLiteral("window.scrollTo(0, 600)"));
    QTRY_COMPARE(runJs(pane.view(), QStringLiteral("window.scrollY")).toInt(), 600);

    QVERIFY(writeBytes(page, sjis(QStringLiteral("<html><body>") + body + QStringLiteral("<p>追加</p></body></html>"))));
    QVERIFY(loadAndWait(pane, page));
    QTRY_VERIFY(runJs(pane.view(), QStringLiteral("document.body.innerText")).toString().contains(QStringLiteral("追加")));
    QTRY_COMPARE(runJs(pane.view(), QStringLiteral("window.scrollY")).toInt(), 600);
}

void WebPreviewTest::mainWindowTitleFollowsTheRealPane()
{
    QTemporaryDir dir;
    QVERIFY(makeProgramFolder(dir.path()));
    HenkanMod henkan;
    ScriptedMessageBoxes boxes;
    MainForm form(henkan, dir.path(), boxes, std::make_unique<ScriptedDialogs>(),
                  [](QWidget *parent) { return new WebPreview(parent); });
    QVERIFY(form.Form_Load());
    form.show();
    QTRY_COMPARE_WITH_TIMEOUT(form.windowTitle(), QStringLiteral("QRN - [QRNドキュメント]"), 20000);

    // What the pane shows is the converted editor text.
    auto *pane = static_cast<WebPreview *>(form.Brw);
    form.MainText->setText(QStringLiteral("＜ページ＞＜全体　背景色＝「白」＞見出しの文＜全体終わり＞＜ページ終わり＞"));
    QTRY_COMPARE_WITH_TIMEOUT(runJs(pane->view(), QStringLiteral("document.body.innerText")).toString(),
                              QStringLiteral("見出しの文"), 20000);
    QCOMPARE(runJs(pane->view(), QStringLiteral("document.body.getAttribute('bgcolor')")).toString(),
             QStringLiteral("white"));
    QVERIFY(boxes.calls.isEmpty());
}

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerLocalPageScheme();
    QApplication app(argc, argv);
    WebPreviewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WebPreviewTest.moc"
