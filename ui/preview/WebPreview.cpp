#include "WebPreview.h"

#include "PageLines.h"

#include <QChildEvent>
#include <QDataStream>
#include <QFile>
#include <QMouseEvent>
#include <QStackedLayout>
#include <QTimer>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

namespace qrn {

namespace {

// Follows links to local pages only; a web page, a mailto: the desktop would hand to another
// program and the like are not followed (nothing happens). Frames may show web pages.
class PreviewPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        const QString scheme = url.scheme();
        if (scheme == QLatin1String(LocalPageScheme) || scheme == QLatin1String("file") || scheme == QLatin1String("about"))
            return true;
        return !isMainFrame
               && (PreviewRequestGuard::isWebScheme(scheme) || scheme == QLatin1String("data") || scheme == QLatin1String("blob"));
    }
};

// Whether two pages have the same history, at the same place.
bool sameHistory(QWebEnginePage *a, QWebEnginePage *b)
{
    QWebEngineHistory *x = a->history(), *y = b->history();
    if (x->count() != y->count() || x->currentItemIndex() != y->currentItemIndex())
        return false;
    for (int i = 0; i < x->count(); ++i)
        if (x->itemAt(i).url() != y->itemAt(i).url())
            return false;
    return true;
}

QUrl withoutFragment(const QUrl &url)
{
    return url.adjusted(QUrl::RemoveFragment);
}

} // namespace

WebPreview::WebPreview(QWidget *parent)
    : PreviewView(parent),
      m_profile(new QWebEngineProfile(this)), // off the record: nothing is kept on disk
      m_host(new QWidget(parent)),
      m_stack(new QStackedLayout(m_host))
{
    m_profile->installUrlSchemeHandler(LocalPageScheme, new LocalPageHandler(m_origins, m_page, m_profile));
    m_profile->setUrlRequestInterceptor(new PreviewRequestGuard(m_origins, m_profile));
    m_stack->setStackingMode(QStackedLayout::StackAll);
    m_stack->setContentsMargins(0, 0, 0, 0);
    QWebEngineScript paneScript;
    QFile source(QStringLiteral(":/preview/PaneScript.js"));
    source.open(QIODevice::ReadOnly);
    paneScript.setSourceCode(QString::fromUtf8(source.readAll()));
    paneScript.setWorldId(QWebEngineScript::ApplicationWorld);
    paneScript.setInjectionPoint(QWebEngineScript::DocumentCreation);
    paneScript.setRunsOnSubFrames(false);
    for (int i = 0; i < 2; ++i) {
        auto *view = new QWebEngineView(m_host);
        auto *page = new PreviewPage(m_profile, view);
        view->setPage(page);
        page->scripts().insert(paneScript);
        QWebEngineSettings *settings = page->settings();
        settings->setDefaultTextEncoding(QStringLiteral("Shift_JIS"));
        // Both stay off: for pages of a local scheme they would open every file to every script.
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
        settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
        // Only matters if the engine started without the switches above: WebRTC then hides private addresses.
        settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
        connect(page, &QWebEnginePage::loadStarted, this, [this, i] {
            ++m_loadsStarted;
            m_shownNavigates = m_shownNavigates || (i == m_shown && m_work != Work::Direct);
        });
        connect(page, &QWebEnginePage::loadFinished, this, [this, i](bool ok) { pageLoaded(i, ok); });
        m_views[i] = view;
        m_stack->addWidget(view);
        watchForDoubleClicks(view);
    }
    m_stack->setCurrentWidget(m_views[m_shown]);
}

// The pages must go before the profile they were made with, and the profile and its scheme
// handler before the origins and page the handler serves from.
WebPreview::~WebPreview()
{
    m_closing = true;
    delete m_host;
    delete m_profile;
}

QWidget *WebPreview::widget()
{
    return m_host;
}

QWebEngineView *WebPreview::view() const
{
    return m_views[m_shown];
}

QWebEnginePage *WebPreview::pageOf(int index) const
{
    return m_views[index]->page();
}

bool WebPreview::showsPreviewedPage() const
{
    return !m_page.url.isEmpty() && withoutFragment(shownPage()->url()) == m_page.url;
}

void WebPreview::runInPage(QWebEnginePage *page, const QString &script, const std::function<void(const QVariant &)> &then)
{
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [this, then](const QVariant &result) {
        if (!m_closing && then)
            then(result);
    });
}

void WebPreview::navigate(const QString &filePath)
{
    request(filePath, std::nullopt);
}

void WebPreview::showUnsaved(const QString &filePath, const QByteArray &bytes)
{
    request(filePath, bytes);
}

// Only the newest request waits; it starts once the event loop is back, so a burst of changes
// handled in one go costs one version.
void WebPreview::request(const QString &filePath, std::optional<QByteArray> unsaved)
{
    m_next.emplace(filePath, std::move(unsaved));
    if (m_work == Work::None)
        QMetaObject::invokeMethod(this, &WebPreview::startNext, Qt::QueuedConnection);
}

void WebPreview::startNext()
{
    if (m_work != Work::None || !m_next)
        return;
    auto [path, unsaved] = std::move(*m_next);
    m_next.reset();
    const QUrl url = m_origins.urlOf(path);
    if (url != m_page.url) {
        m_page.served.clear();
        m_page.servedAny = false;
    }
    m_page.url = url;
    m_page.path = LocalOrigins::pathOf(m_page.url);
    m_page.unsaved = std::move(unsaved);
    if (!showsPreviewedPage()) {
        m_work = Work::Direct;
        shownPage()->load(m_page.url);
        return;
    }
    if (m_shownVersion.known) {
        QByteArray bytes;
        QFile file(m_origins.servableFile(m_page.url));
        if (m_page.unsaved)
            bytes = *m_page.unsaved;
        else if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        // A page that runs scripts is loaded again, so what they did at load is done again.
        if (!m_shownVersion.scripted) {
            if (const auto change = textLinesChange(m_shownVersion.bytes, bytes)) {
                patch(QStringLiteral("__qrnPane.patch(%1, %2, %3, '%4', '%5')")
                          .arg(change->firstLine)
                          .arg(change->oldLineCount)
                          .arg(change->newLineCount)
                          .arg(QString::fromLatin1(change->oldLines.toBase64()), QString::fromLatin1(change->newLines.toBase64())),
                      bytes);
                return;
            }
            if (const auto change = textRunChange(m_shownVersion.bytes, bytes)) {
                QStringList runs;
                for (const QByteArray &run : change->oldRuns)
                    runs << QLatin1Char('\'') + QString::fromLatin1(run.toBase64()) + QLatin1Char('\'');
                patch(QStringLiteral("__qrnPane.patchRun(%1, [%2], %3, '%4', %5)")
                          .arg(change->line)
                          .arg(runs.join(QLatin1Char(',')))
                          .arg(change->run)
                          .arg(QString::fromLatin1(change->newRun.toBase64()), change->lastLine ? QStringLiteral("true") : QStringLiteral("false")),
                      bytes);
                return;
            }
            // Elements added, removed or changed in the body: the parse of the new page between the
            // markers that bound the change, where it agrees with the page shown around them.
            if (const auto change = pageMayRunScripts(bytes) ? std::nullopt : blockChange(m_shownVersion.bytes, bytes)) {
                // Only the page up to the marker after the change: what follows it cannot change how
                // the block or anything before it parses.
                QByteArray marked = withLineMarkers(bytes, pageCharset(bytes));
                const QByteArray endMarker = QByteArray("<!--") + LineMarkerPrefix
                                             + QByteArray::number(change->firstLine + change->newLineCount) + "-->";
                const qsizetype end = marked.indexOf(endMarker);
                if (end < 0) {
                    stage(); // no marker after the change (in a table's structure ...): nothing to patch up to
                    return;
                }
                marked.truncate(end + endMarker.size());
                patch(QStringLiteral("__qrnPane.patchBlock(%1, %2, %3, '%4')")
                          .arg(change->firstLine)
                          .arg(change->oldLineCount)
                          .arg(change->newLineCount)
                          .arg(QString::fromLatin1(marked.toBase64())),
                      bytes);
                return;
            }
        }
        // Another large document rather than an edit of this one: loaded in the visible view,
        // where the engine draws its top before the rest is laid out, instead of out of sight.
        if (isMostlyNewPage(m_shownVersion.bytes, bytes)) {
            m_work = Work::Direct;
            shownPage()->triggerAction(QWebEnginePage::Reload);
            return;
        }
    }
    stage();
}

void WebPreview::done()
{
    m_work = Work::None;
    if (m_next)
        QMetaObject::invokeMethod(this, &WebPreview::startNext, Qt::QueuedConnection);
}

// Runs one of the pane script's patches on the visible page; a refusal loads the version instead.
void WebPreview::patch(const QString &call, const QByteArray &bytes)
{
    m_work = Work::Patch;
    QWebEnginePage *page = shownPage();
    runInPage(page, QStringLiteral("!!window.__qrnPane && ") + call + QStringLiteral(" && __qrnPane.drawn()"),
              [this, page, bytes](const QVariant &patched) {
                  if (m_work != Work::Patch)
                      return;
                  if (page != shownPage() || !showsPreviewedPage()) {
                      done(); // the user went to another page meanwhile
                  } else if (!patched.toBool()) {
                      stage();
                  } else {
                      m_shownVersion.bytes = bytes;
                      // A patched version counts as visible once the pane has painted it.
                      whenPainted(page, Work::Patch, [this] {
                          done();
                          emit loadFinished();
                      });
                  }
              });
}

// Calls `then` once the pane's script in `page` says the frame it waited for is painted (or
// after about a second without that), unless the pane has moved on from `work` meanwhile.
void WebPreview::whenPainted(QWebEnginePage *page, Work work, const std::function<void()> &then, int polls)
{
    runInPage(page, QStringLiteral("!window.__qrnPane || !!__qrnPane.settled"), [=, this](const QVariant &painted) {
        if (m_work != work)
            return;
        if (!painted.toBool() && polls < 200) {
            QTimer::singleShot(5, this, [=, this] { whenPainted(page, work, then, polls + 1); });
            return;
        }
        then();
    });
}

// The previewed page, already shown, is loaded again underneath: reloaded where the view there
// has the same history, else given that history first (which loads its current page).
void WebPreview::stage()
{
    m_work = Work::Stage;
    m_stagedVersion = {};
    QWebEnginePage *staged = stagePage();
    if (sameHistory(staged, shownPage())) {
        staged->triggerAction(QWebEnginePage::ReloadAndBypassCache);
        return;
    }
    QByteArray history;
    {
        QDataStream out(&history, QIODevice::WriteOnly);
        out << *shownPage()->history();
    }
    QDataStream in(history);
    in >> *staged->history();
}

void WebPreview::pageLoaded(int index, bool)
{
    if (index != m_shown) {
        if (m_work != Work::Stage)
            return;
        m_stagedVersion = {m_page.served, m_page.servedAny, pageMayRunScripts(m_page.served)};
        // The user went to another page meanwhile: this version is not wanted any more.
        if (!sameHistory(stagePage(), shownPage())) {
            done();
            return;
        }
        m_work = Work::Settle;
        settle(0);
        return;
    }
    m_shownNavigates = false;
    if (showsPreviewedPage() && m_page.servedAny)
        m_shownVersion = {m_page.served, true, pageMayRunScripts(m_page.served)};
    else
        m_shownVersion = {};
    if (m_work == Work::Direct) {
        done();
        if (m_follow && showsPreviewedPage())
            followLine(m_follow->first, m_follow->second);
    }
    emit loadFinished();
}

// Scrolls the staged page to where the visible one is and waits until it has drawn that; again
// if the user scrolled meanwhile.
void WebPreview::settle(int attempt)
{
    runInPage(shownPage(), QStringLiteral("[scrollX, scrollY]"), [this, attempt](const QVariant &scroll) {
        if (m_work != Work::Settle)
            return;
        const QVariantList xy = scroll.toList();
        const QString script = QStringLiteral("window.__qrnPane && __qrnPane.settle(%1, %2)")
                                   .arg(xy.value(0).toDouble())
                                   .arg(xy.value(1).toDouble());
        runInPage(stagePage(), script, [this, attempt, scroll](const QVariant &) { waitForFrame(attempt, scroll); });
    });
}

void WebPreview::waitForFrame(int attempt, const QVariant &scroll)
{
    whenPainted(stagePage(), Work::Settle, [=, this] {
        runInPage(shownPage(), QStringLiteral("[scrollX, scrollY]"), [=, this](const QVariant &now) {
            if (m_work != Work::Settle)
                return;
            if (now != scroll && attempt < 3)
                settle(attempt + 1);
            else
                raiseStaged();
        });
    });
}

void WebPreview::raiseStaged()
{
    // Not over a page the user is going to (a link, back, forward): that one wins.
    if (m_shownNavigates || !sameHistory(stagePage(), shownPage())) {
        done();
        return;
    }
    QWidget *focused = view()->focusProxy() ? view()->focusProxy() : view();
    const bool hadFocus = focused->hasFocus();
    m_shown = 1 - m_shown;
    m_shownNavigates = false;
    m_stack->setCurrentWidget(m_views[m_shown]);
    if (hadFocus)
        view()->setFocus();
    m_shownVersion = m_stagedVersion;
    done();
    emit loadFinished();
}

bool WebPreview::goBack()
{
    if (!shownPage()->history()->canGoBack())
        return false;
    shownPage()->triggerAction(QWebEnginePage::Back);
    return true;
}

bool WebPreview::goForward()
{
    if (!shownPage()->history()->canGoForward())
        return false;
    shownPage()->triggerAction(QWebEnginePage::Forward);
    return true;
}

void WebPreview::setZoom(double factor)
{
    for (int i = 0; i < 2; ++i)
        m_views[i]->setZoomFactor(factor);
}

void WebPreview::followLine(int line, double fraction)
{
    m_follow.emplace(line, fraction);
    if (view() && showsPreviewedPage())
        runInPage(shownPage(), QStringLiteral("window.__qrnPane && __qrnPane.follow(%1, %2)").arg(line).arg(fraction));
}

void WebPreview::watchForDoubleClicks(QObject *object)
{
    object->installEventFilter(this);
    for (QObject *child : object->children())
        if (child->isWidgetType())
            child->installEventFilter(this);
}

// The engine draws into a child widget of the view, made when a page first needs it: that one
// gets the mouse.
bool WebPreview::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ChildAdded) {
        QObject *child = static_cast<QChildEvent *>(event)->child();
        if (child->isWidgetType())
            child->installEventFilter(this);
    } else if (event->type() == QEvent::MouseButtonDblClick && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (view() && (widget == view() || view()->isAncestorOf(widget)) && showsPreviewedPage()) {
            const qreal zoom = shownPage()->zoomFactor();
            const QPointF at = widget->mapTo(view(), static_cast<QMouseEvent *>(event)->position()) / zoom;
            runInPage(shownPage(), QStringLiteral("window.__qrnPane ? __qrnPane.lineAt(%1, %2) : -1").arg(at.x()).arg(at.y()),
                      [this](const QVariant &line) {
                          if (line.toInt() >= 0)
                              emit lineDoubleClicked(line.toInt());
                      });
        }
    }
    return PreviewView::eventFilter(watched, event);
}

} // namespace qrn
