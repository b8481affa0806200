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

// The pane's own functions, in a script world of their own that the page's scripts cannot see:
// the line markers' index, where a line's content is, which line is at a point, scrolling, and
// the in-place patch of text-only changes.
const char PaneScript[] = R"JS(
window.__qrnPane = window.__qrnPane || {
  line(node) {
    if (node.nodeType !== Node.COMMENT_NODE || !node.data.startsWith('qrn-line ')) return -1;
    const n = Number(node.data.slice(9));
    return Number.isInteger(n) && n >= 0 ? n : -1;
  },
  index() {
    if (!this.ix) {
      const byLine = new Map();
      const it = document.createNodeIterator(document, NodeFilter.SHOW_COMMENT);
      for (let c = it.nextNode(); c; c = it.nextNode()) {
        const n = this.line(c);
        if (n >= 0 && !byLine.has(n)) byLine.set(n, c);
      }
      this.ix = { byLine, lines: [...byLine.keys()].sort((a, b) => a - b) };
    }
    return this.ix;
  },
  // The document y of the first thing drawn after a marker.
  top(marker) {
    if (!marker.isConnected) return null;
    const walk = document.createTreeWalker(document, NodeFilter.SHOW_ELEMENT | NodeFilter.SHOW_TEXT);
    walk.currentNode = marker;
    for (let n = walk.nextNode(), k = 0; n && k < 500; n = walk.nextNode(), ++k) {
      let box = null;
      if (n.nodeType === Node.TEXT_NODE) {
        const at = n.data.search(/\S/);
        if (at < 0) continue;
        const r = document.createRange();
        r.setStart(n, at);
        r.setEnd(n, at + 1);
        box = r.getBoundingClientRect();
      } else if (!n.firstChild) {
        box = n.getBoundingClientRect();
      }
      if (box && (box.width || box.height)) return box.top + scrollY;
    }
    return null;
  },
  follow(line, fraction) {
    const { lines, byLine } = this.index();
    let lo = 0, hi = lines.length - 1, at = 0;
    while (lo <= hi) {
      const mid = (lo + hi) >> 1;
      if (lines[mid] <= line) { at = mid; lo = mid + 1; } else hi = mid - 1;
    }
    for (let k = at; k < lines.length && k < at + 100; ++k) {
      const y = this.top(byLine.get(lines[k]));
      if (y !== null) {
        scrollTo({ left: scrollX, top: Math.max(0, y - fraction * innerHeight), behavior: 'instant' });
        return lines[k];
      }
    }
    return -1;
  },
  lineAt(x, y) {
    const r = document.caretRangeFromPoint(x, y);
    let node = r ? r.startContainer : document.elementFromPoint(x, y);
    if (!node) return -1;
    if (r && node.nodeType !== Node.TEXT_NODE && node.childNodes[r.startOffset]) node = node.childNodes[r.startOffset];
    const walk = document.createTreeWalker(document, NodeFilter.SHOW_COMMENT);
    walk.currentNode = node;
    for (let c = walk.previousNode(); c; c = walk.previousNode()) {
      const n = this.line(c);
      if (n >= 0) return n;
    }
    return this.index().lines.length ? 0 : -1;
  },
  settle(x, y) {
    this.settled = false;
    scrollTo({ left: x, top: y, behavior: 'instant' });
    requestAnimationFrame(() => requestAnimationFrame(() => { this.settled = true; }));
  },
  // The page's bytes (base64) as the text a parse makes of them, split after each line break.
  lines(base64) {
    const template = document.createElement('template');
    return new TextDecoder(document.characterSet).decode(Uint8Array.from(atob(base64), c => c.charCodeAt(0)))
      .replace(/\r\n?/g, '\n').split(/(?<=\n)/).filter(l => l.length)
      .map(l => { template.innerHTML = l; return template.content.textContent; });
  },
  // Where a parse puts text in place: not where it moves text elsewhere or drops it.
  keepsText(parent) {
    return parent && parent.nodeType === Node.ELEMENT_NODE
      && !/^(HTML|HEAD|TABLE|TBODY|THEAD|TFOOT|TR|COLGROUP|SELECT|FRAMESET|TEMPLATE)$/.test(parent.nodeName);
  },
  // Replaces lines first .. first+oldCount-1 by newCount others, if the nodes between their
  // markers are exactly the text of the old lines, where a new parse would put the new text too.
  patch(first, oldCount, newCount, oldText, newText) {
    const { byLine } = this.index();
    const start = byLine.get(first), end = byLine.get(first + oldCount);
    if (!start || !end || !start.isConnected || start.parentNode !== end.parentNode) return false;
    const parent = start.parentNode;
    if (!this.keepsText(parent)) return false;
    const before = this.lines(oldText), after = this.lines(newText);
    if (before.length !== oldCount || after.length !== newCount) return false;
    let text = '', next = first + 1;
    for (let n = start.nextSibling; n !== end; n = n.nextSibling) {
      if (!n) return false;
      if (n.nodeType === Node.TEXT_NODE) text += n.data;
      else if (this.line(n) === next) ++next;
      else return false;
    }
    if (next !== first + oldCount || text !== before.join('')) return false;
    while (start.nextSibling !== end) parent.removeChild(start.nextSibling);
    const added = [];
    after.forEach((l, k) => {
      if (k > 0) {
        const c = document.createComment('qrn-line ' + (first + k));
        parent.insertBefore(c, end);
        added.push(c);
      }
      parent.insertBefore(document.createTextNode(l), end);
    });
    const delta = newCount - oldCount, old = this.ix, lines2 = [], byLine2 = new Map();
    const keep = (n, c) => { lines2.push(n); byLine2.set(n, c); };
    for (const n of old.lines) if (n <= first) keep(n, old.byLine.get(n));
    added.forEach((c, k) => keep(first + k + 1, c));
    for (const n of old.lines) {
      if (n < first + oldCount) continue;
      const c = old.byLine.get(n);
      if (delta) c.data = 'qrn-line ' + (n + delta);
      keep(n + delta, c);
    }
    this.ix = { lines: lines2, byLine: byLine2 };
    return true;
  },
  // Changes one run of text of a line. The text nodes between the line's marker and the next are
  // the runs the parse left in place (one before a table the line is in moved before that table),
  // in order: they must match the runs the same way from either end, the changed one among them.
  // Text that turns from blank to not blank or back may go elsewhere in a new parse, so that is
  // left to a load.
  patchRun(line, oldRuns, run, newRun, lastLine) {
    const { byLine } = this.index();
    const start = byLine.get(line), end = lastLine ? null : byLine.get(line + 1);
    if (!start || !start.isConnected || (!lastLine && !(end && end.isConnected))) return false;
    const texts = [];
    const walk = document.createTreeWalker(document, NodeFilter.SHOW_TEXT);
    walk.currentNode = start;
    for (let n = walk.nextNode(); n && (!end || end.compareDocumentPosition(n) & Node.DOCUMENT_POSITION_PRECEDING); n = walk.nextNode())
      texts.push(n);
    const runs = oldRuns.map(r => this.lines(r).join(''));
    const align = forward => {
      const found = new Map(), step = forward ? 1 : -1;
      let k = forward ? 0 : runs.length - 1;
      for (const t of forward ? texts : [...texts].reverse()) {
        while (k >= 0 && k < runs.length && runs[k] !== t.data) k += step;
        if (k < 0 || k >= runs.length) return null;
        found.set(k, t);
        k += step;
      }
      return found;
    };
    const first = align(true), last = align(false);
    const node = first && last && first.get(run);
    if (!node || node !== last.get(run) || !this.keepsText(node.parentNode)) return false;
    const text = this.lines(newRun).join('');
    if (/\S/.test(text) !== /\S/.test(runs[run])) return false;
    node.data = text;
    return true;
  },
};
)JS";

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

QString previewEngineSwitches(const QString &given)
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
                   && !item.startsWith(QLatin1String("--proxy-")) && item != QLatin1String("--no-proxy-server")
                   && !item.startsWith(QLatin1String("--lang="))) {
            switches << item;
        }
    }
    // WebTransport's QUIC sessions never pass the request interceptor, so the API is removed.
    switches << blinkFeatures;
    // WebRTC opens no UDP socket and may only go through a proxy, and there is no proxy: it sends
    // nothing. Web resources are fetched directly.
    switches << QStringLiteral("--force-webrtc-ip-handling-policy=disable_non_proxied_udp")
             << QStringLiteral("--no-proxy-server");
    switches << QStringLiteral("--lang=ja");
    return switches.join(QLatin1Char(' '));
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
    paneScript.setSourceCode(QString::fromUtf8(PaneScript));
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
    if (m_shownVersion.known && !m_shownVersion.scripted) {
        QByteArray bytes;
        QFile file(m_origins.servableFile(m_page.url));
        if (m_page.unsaved)
            bytes = *m_page.unsaved;
        else if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
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
    runInPage(page, QStringLiteral("!!window.__qrnPane && ") + call, [this, page, bytes](const QVariant &patched) {
        if (m_work != Work::Patch)
            return;
        if (page != shownPage() || !showsPreviewedPage()) {
            done(); // the user went to another page meanwhile
        } else if (!patched.toBool()) {
            stage();
        } else {
            m_shownVersion.bytes = bytes;
            done();
            emit loadFinished();
        }
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
        runInPage(stagePage(), script, [this, attempt, scroll](const QVariant &) { waitForFrame(attempt, scroll, 0); });
    });
}

void WebPreview::waitForFrame(int attempt, const QVariant &scroll, int polls)
{
    runInPage(stagePage(), QStringLiteral("!window.__qrnPane || !!__qrnPane.settled"), [=, this](const QVariant &settled) {
        if (m_work != Work::Settle)
            return;
        if (!settled.toBool() && polls < 200) {
            QTimer::singleShot(5, this, [=, this] { waitForFrame(attempt, scroll, polls + 1); });
            return;
        }
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
