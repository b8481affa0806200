#include "WebPreview.h"

#include <QBuffer>
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
bool declaresCharset(const QByteArray &bytes)
{
    return bytes.left(4096).toLower().contains("charset");
}
} // namespace

void registerLocalPageScheme()
{
    QWebEngineUrlScheme scheme(LocalPageScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Local like file:, and its pages may load local resources: their own images and style sheets.
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
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

void LocalPageHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QString path = job->requestUrl().path();
    if (job->requestMethod() != "GET" || !m_rule.allowsPath(path)) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto *buffer = new QBuffer(job);
    buffer->setData(file.readAll());
    QByteArray type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toLatin1();
    if ((type == "text/html" || type == "text/plain") && !declaresCharset(buffer->data()))
        type += ";charset=Shift_JIS";
    job->reply(type, buffer);
}

bool LocalFileGuard::allows(const QUrl &url) const
{
    return !url.isLocalFile() || m_rule.allowsPath(url.toLocalFile());
}

void LocalFileGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
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
    m_profile->setUrlRequestInterceptor(new LocalFileGuard(m_rule, m_profile));
    auto *page = new QWebEnginePage(m_profile, m_view);
    m_view->setPage(page);
    QWebEngineSettings *settings = page->settings();
    settings->setDefaultTextEncoding(QStringLiteral("Shift_JIS"));
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
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
