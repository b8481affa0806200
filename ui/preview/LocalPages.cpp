#include "LocalPages.h"

#include "EngineSwitches.h"
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
#include <QWebEngineUrlScheme>

namespace qrn {

namespace {

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
    if ((!local && !url.isLocalFile()) || (!initiator.isEmpty() && initiator.scheme() != QLatin1String(LocalPageScheme))
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

void registerLocalPageScheme()
{
    QWebEngineUrlScheme scheme(LocalPageScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Not LocalScheme: see LocalOrigins.
    scheme.setFlags(QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
    // The engine reads its switches from here once, when the first profile is made.
    static const char variable[] = "QTWEBENGINE_CHROMIUM_FLAGS";
    qputenv(variable, previewEngineSwitches(QString::fromLocal8Bit(qgetenv(variable))).toLocal8Bit());
}

} // namespace qrn
