#include "LocalPages.h"

#include "PageLines.h"

#include <storage/PageCharset.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRandomGenerator>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestJob>

namespace qrn {

namespace {

QString fileScheme()
{
    return QStringLiteral("file");
}

// What a page may load from a local URL: what it shows or runs. Requests whose answer a script
// reads (XMLHttpRequest, fetch, beacons, prefetches, service workers ...) are not among them.
bool isPageResource(QWebEngineUrlRequestInfo::ResourceType type)
{
    using Info = QWebEngineUrlRequestInfo;
    switch (type) {
    case Info::ResourceTypeMainFrame:
    case Info::ResourceTypeSubFrame:
    case Info::ResourceTypeStylesheet:
    case Info::ResourceTypeScript:
    case Info::ResourceTypeImage:
    case Info::ResourceTypeFontResource:
    case Info::ResourceTypeObject:
    case Info::ResourceTypeMedia:
    case Info::ResourceTypeWorker:
    case Info::ResourceTypeSharedWorker:
    case Info::ResourceTypeFavicon:
        return true;
    default:
        return false;
    }
}


} // namespace

QString LocalOrigins::pathOf(const QUrl &url)
{
    const QString path = url.scheme() == fileScheme() ? url.toLocalFile() : url.path(QUrl::FullyDecoded);
    return QDir::cleanPath(path);
}

QString LocalOrigins::realPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // A file that does not exist (yet): its folder's real path, so it compares with real roots.
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : QDir(folder).filePath(info.fileName());
}

static QUrl localUrl(const QString &host, const QString &filePath)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(LocalPageScheme));
    url.setHost(host);
    url.setPath(QDir::cleanPath(QDir::fromNativeSeparators(QFileInfo(filePath).absoluteFilePath())), QUrl::DecodedMode);
    return url;
}

QUrl LocalOrigins::urlOf(const QString &filePath)
{
    const QString real = realPath(filePath);
    QString &host = m_hosts[real];
    if (host.isEmpty()) {
        do
            host = QStringLiteral("p%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        while (m_files.contains(host));
        m_files.insert(host, real);
    }
    return localUrl(host, filePath);
}

QUrl LocalOrigins::resourceUrlOf(const QString &filePath)
{
    QUrl url = urlOf(filePath);
    url.setQuery(QStringLiteral("qrn-resource"));
    return url;
}

bool LocalOrigins::isResourceUrl(const QUrl &url)
{
    return url.query() == QLatin1String("qrn-resource");
}

static QString randomToken()
{
    return QString::number(QRandomGenerator::global()->generate64(), 16) + QString::number(QRandomGenerator::global()->generate64(), 16);
}

QUrl LocalOrigins::fileUrlOf(const QString &realPath)
{
    QString &token = m_tokens[realPath];
    if (token.isEmpty())
        token = randomToken();
    QUrl url = QUrl::fromLocalFile(realPath);
    url.setQuery(QStringLiteral("qrn=") + token);
    return url;
}

bool LocalOrigins::grantsFile(const QUrl &fileUrl) const
{
    const auto token = m_tokens.constFind(realPath(pathOf(fileUrl)));
    return token != m_tokens.cend() && fileUrl.query() == QStringLiteral("qrn=") + *token;
}

bool LocalOrigins::holds(const QString &host, const QString &path) const
{
    const auto file = m_files.constFind(host);
    return file != m_files.cend() && realPath(path) == *file;
}

QString LocalOrigins::servableFile(const QUrl &url) const
{
    const QString path = pathOf(url);
    const QFileInfo info(path);
    if (!info.isFile() || !holds(url.host(), path))
        return {};
    return info.canonicalFilePath();
}

bool PreviewRequestGuard::isWebScheme(const QString &scheme)
{
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ws")
           || scheme == QLatin1String("wss");
}

void PreviewRequestGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QUrl url = info.requestUrl();
    const QString scheme = url.scheme();
    if (isWebScheme(scheme) || scheme == QLatin1String("data") || scheme == QLatin1String("blob")
        || scheme == QLatin1String("about"))
        return;
    const bool local = scheme == QLatin1String(LocalPageScheme);
    const QUrl initiator = info.initiator();
    // Web content never reaches a local file; no script reads one.
    if ((!local && scheme != fileScheme()) || (!initiator.isEmpty() && initiator.scheme() != QLatin1String(LocalPageScheme))
        || !isPageResource(info.resourceType())) {
        info.block(true);
        return;
    }
    // The handler's hand-over of a resource to the file: loader.
    if (!local && m_origins.grantsFile(url))
        return;
    const QString path = LocalOrigins::pathOf(url);
    if (local && !m_origins.knows(url.host())) {
        info.block(true);
        return;
    }
    // A document under its file's origin, a resource under its resource URL; everything else is
    // moved there. A folder, a device or a missing file is loaded by nothing but a navigation,
    // which shows the error page.
    const bool navigation = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame
                            || info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeSubFrame;
    if (!navigation && !QFileInfo(path).isFile()) {
        info.block(true);
        return;
    }
    const QUrl target = navigation ? m_origins.urlOf(path) : m_origins.resourceUrlOf(path);
    if (url.adjusted(QUrl::RemoveFragment) != target)
        info.redirect(target);
}

void LocalPageHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    const QUrl initiator = job->initiator();
    if (job->requestMethod() != "GET" || (!initiator.isEmpty() && initiator.scheme() != QLatin1String(LocalPageScheme))) {
        job->fail(QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const QString real = m_origins.servableFile(url);
    // A resource goes to the file: loader, so that it reaches the asking page opaque. A request
    // that needs CORS never gets here from another origin (the engine refuses it first), and is
    // refused should it do so.
    if (LocalOrigins::isResourceUrl(url)) {
        if (real.isEmpty() || job->requestHeaders().contains("Origin"))
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
        else
            job->redirect(m_origins.fileUrlOf(real));
        return;
    }
    QByteArray type = QMimeDatabase().mimeTypeForFile(LocalOrigins::pathOf(url), QMimeDatabase::MatchExtension).name().toLatin1();
    if (url.host() == m_page.url.host() && LocalOrigins::pathOf(url) == m_page.path && (m_page.unsaved || type == "text/html")) {
        QByteArray bytes;
        if (m_page.unsaved) {
            bytes = *m_page.unsaved;
        } else {
            QFile file(real);
            if (real.isEmpty() || !file.open(QIODevice::ReadOnly)) {
                job->fail(QWebEngineUrlRequestJob::UrlNotFound);
                return;
            }
            bytes = file.readAll();
        }
        m_page.served = bytes;
        m_page.servedAny = true;
        const QByteArray charset = pageCharset(bytes);
        auto *buffer = new QBuffer(job);
        buffer->setData(withLineMarkers(bytes, charset));
        buffer->open(QIODevice::ReadOnly);
        job->reply(charset.isEmpty() ? QByteArray("text/html") : "text/html;charset=" + charset, buffer);
        return;
    }
    // Streamed: the engine reads the file on its own thread as the page consumes it; it goes with the job.
    auto *file = real.isEmpty() ? nullptr : new QFile(real, job);
    if (!file || !file->open(QIODevice::ReadOnly)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    if ((type == "text/html" || type == "text/plain") && !declaredPageCharset(file->peek(1024)))
        type += ";charset=Shift_JIS";
    job->reply(type, file);
}

} // namespace qrn
