#include "WebPreview.h"

#include <QDir>
#include <QFileInfo>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineView>

namespace qrn {

namespace {
QString cleanAbsolute(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return QDir::cleanPath(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
}
} // namespace

void LocalFileGuard::setAllowedFolder(const QString &folder)
{
    m_root = cleanAbsolute(folder);
}

bool LocalFileGuard::allows(const QUrl &url) const
{
    if (!url.isLocalFile())
        return true;
    if (m_root.isEmpty())
        return false;
    const QString path = cleanAbsolute(url.toLocalFile());
    return path == m_root || path.startsWith(m_root.endsWith(QLatin1Char('/')) ? m_root : m_root + QLatin1Char('/'));
}

void LocalFileGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (!allows(info.requestUrl()))
        info.block(true);
}

WebPreview::WebPreview(QWidget *parent)
    : PreviewView(parent),
      m_profile(new QWebEngineProfile(this)), // off the record: nothing is kept on disk
      m_guard(new LocalFileGuard(this)),
      m_view(new QWebEngineView(parent))
{
    m_profile->setUrlRequestInterceptor(m_guard);
    auto *page = new QWebEnginePage(m_profile, m_view);
    m_view->setPage(page);
    QWebEngineSettings *settings = page->settings();
    settings->setDefaultTextEncoding(QStringLiteral("Shift_JIS"));
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    connect(m_view, &QWebEngineView::loadFinished, this, [this] { emit loadFinished(); });
}

QWidget *WebPreview::widget()
{
    return m_view;
}

void WebPreview::navigate(const QString &filePath)
{
    const QUrl url = QUrl::fromLocalFile(QFileInfo(filePath).absoluteFilePath());
    m_guard->setAllowedFolder(QFileInfo(filePath).absolutePath());
    // The page already shown is reloaded, which keeps its scroll position.
    if (m_view->url() == url)
        m_view->page()->triggerAction(QWebEnginePage::Reload);
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
