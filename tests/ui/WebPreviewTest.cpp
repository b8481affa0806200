// The real QtWebEngine pane, offscreen: what it shows, which local files it lets a page reach,
// that a page can send nothing off the machine, and the main window's title following its loads.

#include "MainFormHarness.h"

#include <WebPreview.h>

#include <QApplication>
#include <QDesktopServices>
#include <QImage>
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
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

// Runs a script that sets window.outcome once its asynchronous work is over, and returns that.
QString outcomeOf(QWebEngineView *view, const QString &script)
{
    runJs(view, QStringLiteral("window.outcome = undefined;\n") + script);
    QVariant outcome;
    (void)QTest::qWaitFor([&] { return (outcome = runJs(view, QStringLiteral("window.outcome"))).isValid(); }, 20000);
    return outcome.toString();
}

bool loadAndWait(WebPreview &pane, const QString &path)
{
    QSignalSpy spy(&pane, &PreviewView::loadFinished);
    pane.navigate(path);
    return spy.wait(20000);
}

// Listeners on the loopback interface standing for the world outside: they count every TCP
// connection and UDP datagram that reaches them.
class Outside {
public:
    Outside()
    {
        m_tcp.listen(QHostAddress::LocalHost);
        m_udp.bind(QHostAddress::LocalHost);
        QObject::connect(&m_tcp, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_tcp.nextPendingConnection()) {
                ++connections;
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { received += socket->readAll(); });
            }
        });
        QObject::connect(&m_udp, &QUdpSocket::readyRead, [this] {
            while (m_udp.hasPendingDatagrams())
                received += m_udp.receiveDatagram().data(), ++datagrams;
        });
    }

    QString tcpPort() const { return QString::number(m_tcp.serverPort()); }
    QString udpPort() const { return QString::number(m_udp.localPort()); }
    // Waits a little for anything late, since a refused attempt and a slow one look alike at first.
    bool reached(int ms = 1500) const { return QTest::qWaitFor([this] { return connections + datagrams > 0; }, ms); }

    int connections = 0;
    int datagrams = 0;
    QByteArray received;

private:
    QTcpServer m_tcp;
    QUdpSocket m_udp;
};

// Records the URLs a page would have the desktop open in another program.
class DesktopHandler : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

// A pane on a page of its own folder, shown.
struct ShownPage {
    QTemporaryDir folder;
    QWidget host;
    WebPreview pane{&host};
    QString path = folder.filePath(QStringLiteral("page.htm"));

    bool load(const QString &body)
    {
        host.resize(400, 300);
        pane.widget()->resize(400, 300);
        host.show();
        return writeBytes(path, body.toUtf8()) && loadAndWait(pane, path);
    }
    QWebEngineView *view() const { return pane.view(); }
};

} // namespace

class WebPreviewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void showsShiftJisPageWithoutCharset();
    void pageReachesOnlyFilesInsideItsFolder();
    void onlyRegularFilesOfTheFolderAreServed();
    void largeFileArrivesWhole();
    void scriptsReachNothingOffTheMachine();
    void webRtcGathersNoCandidateAndSendsNothing();
    void clickedLinksLeadNowhereOffTheMachine();
    void environmentSwitchesCannotReopenTheNetwork();
    void refreshOfTheSamePageKeepsScrollPosition();
    void mainWindowTitleFollowsTheRealPane();

private:
    // A proxy as the desktop may configure one: nothing is to reach it either.
    Outside m_proxy;
};

void WebPreviewTest::initTestCase()
{
    const QByteArray proxy = "http://127.0.0.1:" + m_proxy.tcpPort().toLatin1();
    for (const char *name : {"http_proxy", "https_proxy", "all_proxy"})
        qputenv(name, proxy);
}

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
}

void WebPreviewTest::onlyRegularFilesOfTheFolderAreServed()
{
    ShownPage page;
    QTemporaryDir elsewhere;
    const QString secret = elsewhere.filePath(QStringLiteral("secret.txt"));
    QVERIFY(writeBytes(secret, "secret"));
    QVERIFY(writeBytes(page.folder.filePath(QStringLiteral("own.txt")), "own"));
    QVERIFY(QDir(page.folder.path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::link(secret, page.folder.filePath(QStringLiteral("out.txt"))));
    QVERIFY(QFile::link(elsewhere.path(), page.folder.filePath(QStringLiteral("outdir"))));
    QVERIFY(QFile::link(page.folder.filePath(QStringLiteral("own.txt")), page.folder.filePath(QStringLiteral("in.txt"))));
    QVERIFY(page.load(QStringLiteral("<body>page</body>")));

    // Each request reports its status and text, or that it was refused: no folder is ever listed,
    // under the pane's scheme or under file:, and no link leads out of the folder.
    const QString folderUrl = WebPreview::urlOfFile(page.folder.path()).toString();
    const QString fileFolderUrl = QUrl::fromLocalFile(page.folder.path()).toString();
    const QString probe = QStringLiteral(
        "const r = []; for (const [method, u] of %1) { try { const x = new XMLHttpRequest(); x.open(method, u, false);"
        " x.send(); r.push(x.status + ':' + x.responseText); } catch (e) { r.push('refused'); } } r.join(' ')");
    const QString requests = QStringLiteral("[['GET', 'own.txt'], ['GET', 'in.txt'], ['GET', '%1'], ['GET', '%1/'],"
                                            " ['GET', 'sub/'], ['GET', '%2'], ['GET', '%2/'], ['GET', 'out.txt'],"
                                            " ['GET', 'outdir/secret.txt'], ['GET', 'missing.txt'], ['POST', 'own.txt']]")
                                 .arg(folderUrl, fileFolderUrl);
    QCOMPARE(runJs(page.view(), probe.arg(requests)).toString(),
             QStringLiteral("200:own 200:own refused refused refused refused refused refused refused refused refused"));

    // The same decisions, as the rule makes them.
    LocalFolderRule rule;
    rule.setAllowedFolder(page.folder.path());
    const QString own = QFileInfo(page.folder.filePath(QStringLiteral("own.txt"))).canonicalFilePath();
    QCOMPARE(rule.servableFile(page.folder.filePath(QStringLiteral("own.txt"))), own);
    QCOMPARE(rule.servableFile(page.folder.filePath(QStringLiteral("in.txt"))), own);
    QCOMPARE(rule.servableFile(page.folder.filePath(QStringLiteral("sub/../own.txt"))), own);
    for (const char *refused : {"", "sub", "out.txt", "outdir/secret.txt", "missing.txt", "../x"})
        QVERIFY2(rule.servableFile(page.folder.filePath(QLatin1String(refused))).isEmpty(), refused);
    QVERIFY(rule.servableFile(secret).isEmpty());

    // What the guard lets a page request at all: its own scheme and what the page makes itself.
    QVERIFY(LocalOnlyGuard::allows(WebPreview::urlOfFile(own)));
    QVERIFY(LocalOnlyGuard::allows(QUrl(QStringLiteral("data:text/plain,x"))));
    QVERIFY(LocalOnlyGuard::allows(QUrl(QStringLiteral("blob:null/0a1b"))));
    for (const QString &url : {QUrl::fromLocalFile(own).toString(), QStringLiteral("http://127.0.0.1/"),
                               QStringLiteral("https://example.com/"), QStringLiteral("ws://127.0.0.1:80/"),
                               QStringLiteral("wss://example.com/"), QStringLiteral("mailto:a@example.com"),
                               QStringLiteral("ftp://example.com/")})
        QVERIFY2(!LocalOnlyGuard::allows(QUrl(url)), qPrintable(url));
}

void WebPreviewTest::largeFileArrivesWhole()
{
    // Text with no charset is peeked at for one before it is streamed: the peek must not eat into it.
    QByteArray line = "0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ ~!@#$%^&*()_+ ";
    QByteArray text;
    text.reserve(20 * 1024 * 1024 + line.size() + 16);
    for (int i = 0; text.size() < 20 * 1024 * 1024; ++i)
        text += QByteArray::number(i) + ' ' + line + '\n';
    quint32 hash = 0;
    for (const char c : std::as_const(text))
        hash = hash * 31 + static_cast<quint8>(c);

    ShownPage page;
    QVERIFY(writeBytes(page.folder.filePath(QStringLiteral("large.txt")), text));
    QVERIFY(page.load(QStringLiteral("<body>page</body>")));
    const QString outcome = outcomeOf(page.view(), QStringLiteral(
        "const x = new XMLHttpRequest(); x.open('GET', 'large.txt'); x.responseType = 'arraybuffer';"
        "x.onload = () => {"
        "  const bytes = new Uint8Array(x.response); let h = 0;"
        "  for (let i = 0; i < bytes.length; ++i) h = (Math.imul(h, 31) + bytes[i]) >>> 0;"
        "  window.outcome = x.getResponseHeader('content-type') + ' ' + bytes.length + ' ' + h; };"
        "x.onerror = () => window.outcome = 'failed'; x.send();"));
    QCOMPARE(outcome, QStringLiteral("text/plain; charset=shift_jis %1 %2").arg(text.size()).arg(hash));
}

void WebPreviewTest::scriptsReachNothingOffTheMachine()
{
    Outside outside;
    ShownPage page;
    QVERIFY(page.load(QStringLiteral("<body>page</body>")));
    // Each attempt reports whether it got through; a slow one counts as pending.
    const QString outcome = outcomeOf(page.view(), QStringLiteral(R"(
        const host = '127.0.0.1:%1', udp = 'https://127.0.0.1:%2/';
        const attempts = {
            websocket: new Promise((ok, no) => { const s = new WebSocket('ws://' + host + '/'); s.onopen = ok; s.onerror = no; }),
            fetch: fetch('http://' + host + '/fetch'),
            image: new Promise((ok, no) => { const i = new Image(); i.onload = ok; i.onerror = no; i.src = 'http://' + host + '/image'; }),
            worker: new Promise((ok, no) => {
                const code = `const s = new WebSocket('ws://${host}/worker'); s.onopen = () => postMessage(1); s.onerror = () => postMessage(0);`;
                const w = new Worker(URL.createObjectURL(new Blob([code])));
                w.onmessage = e => e.data ? ok() : no(); w.onerror = no; }),
            webtransport: new Promise((ok, no) => { new WebTransport(udp).ready.then(ok, no); }),
        };
        navigator.sendBeacon('http://' + host + '/beacon', 'names and contents'); // says only whether it was queued
        const settled = Object.entries(attempts).map(([name, p]) => Promise.race([
            p.then(() => name + ':through', () => name + ':refused'),
            new Promise(r => setTimeout(() => r(name + ':pending'), 4000))]));
        Promise.all(settled).then(r => window.outcome = r.join(' '));
    )").arg(outside.tcpPort(), outside.udpPort()));
    QVERIFY2(!outside.reached() && !m_proxy.reached(0), outside.received.left(300).constData());
    QCOMPARE(outcome, QStringLiteral("websocket:refused fetch:refused image:refused worker:refused webtransport:refused"));
}

void WebPreviewTest::webRtcGathersNoCandidateAndSendsNothing()
{
    Outside outside;
    ShownPage page;
    QVERIFY(page.load(QStringLiteral("<body>page</body>")));
    // A STUN server on the loopback interface, and a relay reached over TCP through the desktop's proxy.
    const QString outcome = outcomeOf(page.view(), QStringLiteral(R"(
        const found = [];
        const pc = new RTCPeerConnection({iceServers: [{urls: 'stun:127.0.0.1:%1'},
            {urls: 'turn:relay.example.com:3478?transport=tcp', username: 'u', credential: 'p'}]});
        pc.createDataChannel('names and contents');
        pc.onicecandidate = e => { if (e.candidate) found.push(e.candidate.candidate); else window.outcome = 'gathered:' + found.join('|'); };
        setTimeout(() => { if (window.outcome === undefined) window.outcome = 'pending:' + found.join('|'); }, 5000);
        pc.createOffer().then(offer => pc.setLocalDescription(offer));
    )").arg(outside.udpPort()));
    QVERIFY2(!outside.reached() && !m_proxy.reached(0), (outside.received + m_proxy.received).left(300).constData());
    QCOMPARE(outcome, QStringLiteral("gathered:"));
}

void WebPreviewTest::clickedLinksLeadNowhereOffTheMachine()
{
    Outside outside;
    DesktopHandler desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &desktop, "open");
    ShownPage page;
    QVERIFY(page.load(QStringLiteral("<body style='margin:0'><a id=link style='display:block;height:300px'>link</a></body>")));

    // The user clicks a link: to a mail program with the page's text, then to a web server.
    for (const QString &href : {QStringLiteral("mailto:someone@example.com?body=names%20and%20contents"),
                                QStringLiteral("http://127.0.0.1:%1/clicked").arg(outside.tcpPort())}) {
        runJs(page.view(), QStringLiteral("document.getElementById('link').href = '%1';"
                                          " document.body.onclick = () => window.clicked = true; window.clicked = false;").arg(href));
        QTRY_VERIFY(page.view()->focusProxy());
        QTest::mouseClick(page.view()->focusProxy(), Qt::LeftButton, {}, QPoint(50, 50));
        QTRY_VERIFY(runJs(page.view(), QStringLiteral("window.clicked")).toBool());
        QVERIFY2(!outside.reached() && !m_proxy.reached(0), outside.received.left(300).constData());
        QVERIFY(desktop.opened.isEmpty());
        QCOMPARE(page.view()->url(), WebPreview::urlOfFile(page.path));
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
}

void WebPreviewTest::environmentSwitchesCannotReopenTheNetwork()
{
    // The engine keeps only the last of two equal switches: features to disable are merged into one.
    QCOMPARE(offlineEngineSwitches(QStringLiteral("--disable-gpu  --disable-blink-features=Foo,Bar"
                                                  " --force-webrtc-ip-handling-policy=default --proxy-server=relay:3128")),
             QStringLiteral("--disable-gpu --disable-blink-features=Foo,Bar,WebTransport"
                            " --force-webrtc-ip-handling-policy=disable_non_proxied_udp --no-proxy-server"));
    const QString once = offlineEngineSwitches(QString());
    QCOMPARE(offlineEngineSwitches(once), once);
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
    ScriptedWindows windows;
    MainForm form(henkan, dir.path(), boxes, std::make_unique<ScriptedDialogs>(), windows,
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
