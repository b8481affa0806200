#include "WebPreview.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace qrn {

namespace {
QString cleanAbsolute(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
}

// True when the first kilobytes of an HTML file name a charset of their own.
bool declaresCharset(const QByteArray &head)
{
    return head.toLower().contains("charset");
}

// Follows links only to pages that stay on this machine; anything else, a mailto: the desktop
// would open in another program included, is dropped.
class LocalOnlyPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool) override { return LocalOnlyGuard::allows(url); }
};
} // namespace

QString offlineEngineSwitches(const QString &given)
{
    const QString webTransport = QStringLiteral("WebTransport");
    QString blinkFeatures = QStringLiteral("--disable-blink-features=") + webTransport;
    QStringList switches;
    for (const QString &item : given.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (item.startsWith(QLatin1String("--disable-blink-features="))) {
            blinkFeatures = item;
            if (!item.section(QLatin1Char('='), 1).split(QLatin1Char(',')).contains(webTransport))
                blinkFeatures += QLatin1Char(',') + webTransport;
        } else if (!item.startsWith(QLatin1String("--force-webrtc-ip-handling-policy"))
                   && !item.startsWith(QLatin1String("--proxy-")) && item != QLatin1String("--no-proxy-server")) {
            switches << item;
        }
    }
    // WebTransport's QUIC sessions never pass the request interceptor, so the API is removed.
    switches << blinkFeatures;
    // WebRTC opens no UDP socket and may only go through a proxy, and there is no proxy: it sends nothing.
    switches << QStringLiteral("--force-webrtc-ip-handling-policy=disable_non_proxied_udp")
             << QStringLiteral("--no-proxy-server");
    return switches.join(QLatin1Char(' '));
}

void registerLocalPageScheme()
{
    QWebEngineUrlScheme scheme(LocalPageScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Local like file:, and its pages may load local resources: their own images and style sheets.
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
    // The engine reads its switches from here once, when the first profile is made.
    static const char variable[] = "QTWEBENGINE_CHROMIUM_FLAGS";
    qputenv(variable, offlineEngineSwitches(QString::fromLocal8Bit(qgetenv(variable))).toLocal8Bit());
}

void LocalFolderRule::setAllowedFolder(const QString &folder)
{
    m_root = cleanAbsolute(folder);
}

bool LocalFolderRule::allowsPath(const QString &path) const
{
    if (m_root.isEmpty())
        return false;
    const QString p = cleanAbsolute(path);
    const QString prefix = m_root.endsWith(QLatin1Char('/')) ? m_root : m_root + QLatin1Char('/');
    return p == m_root || p.startsWith(prefix);
}

QString LocalFolderRule::servableFile(const QString &path) const
{
    const QFileInfo info(path);
    const QString real = info.canonicalFilePath();
    if (real.isEmpty() || !info.isFile() || !allowsPath(real))
        return {};
    return real;
}

void LocalPageHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QString path = job->requestUrl().path(QUrl::FullyDecoded);
    if (job->requestMethod() != "GET" || !m_rule.allowsPath(path)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const QString real = m_rule.servableFile(path);
    // Streamed: the engine reads the file on its own thread as the page consumes it; it goes with the job.
    auto *file = real.isEmpty() ? nullptr : new QFile(real, job);
    if (!file || !file->open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    QByteArray type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toLatin1();
    if ((type == "text/html" || type == "text/plain") && !declaresCharset(file->peek(4096)))
        type += ";charset=Shift_JIS";
    job->reply(type, file);
}

bool LocalOnlyGuard::allows(const QUrl &url)
{
    const QString scheme = url.scheme();
    return scheme == QLatin1String(LocalPageScheme) || scheme == QLatin1String("data")
        || scheme == QLatin1String("blob") || scheme == QLatin1String("about");
}

void LocalOnlyGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (!allows(info.requestUrl()))
        info.block(true);
}

WebPreview::WebPreview(QWidget *parent)
    : PreviewView(parent),
      m_profile(new QWebEngineProfile(this)), // off the record: nothing is kept on disk
      m_view(new QWebEngineView(parent))
{
    m_profile->installUrlSchemeHandler(LocalPageScheme, new LocalPageHandler(m_rule, m_profile));
    m_profile->setUrlRequestInterceptor(new LocalOnlyGuard(m_profile));
    auto *page = new LocalOnlyPage(m_profile, m_view);
    m_view->setPage(page);
    QWebEngineSettings *settings = page->settings();
    settings->setDefaultTextEncoding(QStringLiteral("Shift_JIS"));
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    // Only matters if the engine started without the switches above: WebRTC then hides private addresses.
    settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    connect(m_view, &QWebEngineView::loadFinished, this, [this] { emit loadFinished(); });
}

// The page must go before the profile it was made with.
WebPreview::~WebPreview()
{
    delete m_view;
}

QUrl WebPreview::urlOfFile(const QString &filePath)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(LocalPageScheme));
    url.setPath(QDir::fromNativeSeparators(QFileInfo(filePath).absoluteFilePath()));
    return url;
}

QWidget *WebPreview::widget()
{
    return m_view;
}

void WebPreview::navigate(const QString &filePath)
{
    m_rule.setAllowedFolder(QFileInfo(filePath).absolutePath());
    const QUrl url = urlOfFile(filePath);
    // The page already shown is reloaded, which keeps its scroll position.
    if (m_view->url() == url)
        m_view->page()->triggerAction(QWebEnginePage::ReloadAndBypassCache);
    else
        m_view->load(url);
}

bool WebPreview::goBack()
{
    if (!m_view->history()->canGoBack())
        return false;
    m_view->back();
    return true;
}

bool WebPreview::goForward()
{
    if (!m_view->history()->canGoForward())
        return false;
    m_view->forward();
    return true;
}

} // namespace qrn
