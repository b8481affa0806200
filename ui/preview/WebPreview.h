#pragma once

#include "PreviewView.h"

#include "LocalPages.h"

#include <QPointer>
#include <QUrl>

#include <optional>

class QStackedLayout;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;

namespace qrn {

// The preview pane on QtWebEngine (what a page may reach: LocalOrigins, PreviewRequestGuard).
//
// It holds two views of one profile, stacked: the visible one, and under it one that loads the
// next version of the previewed page. A new version is shown in one of four ways:
// - a change in the body (PageLines' textLinesChange, textRunChange and blockChange) in a page
//   without scripts: patched into the visible page in place, where the page's nodes are exactly
//   what the old lines made and a new parse would put what the new lines make in the same place;
//   it counts as shown once the pane has painted it;
// - another large document rather than an edit: loaded in the visible view, top first;
// - otherwise, for the page already shown: loaded in the view underneath, scrolled to where the
//   visible one is, drawn, and only then raised; it gets the visible view's history first, so
//   back and forward walk the same pages whichever view is on top;
// - another page: loaded in the visible view, like a browser navigation.
// One version is worked on at a time; navigations meanwhile only replace the one waiting, so a
// key held down never queues more than one load.
class WebPreview : public PreviewView {
    Q_OBJECT
public:
    explicit WebPreview(QWidget *parent);
    ~WebPreview() override;

    QWidget *widget() override;
    void navigate(const QString &filePath) override;
    void showUnsaved(const QString &filePath, const QByteArray &bytes) override;
    bool goBack() override;
    bool goForward() override;
    void followLine(int line, double fraction) override;
    void setZoom(double factor) override;

    // The view on top.
    QWebEngineView *view() const;
    // The URL under which the pane shows a file, as navigate would.
    QUrl urlOfFile(const QString &filePath) { return m_origins.urlOf(filePath); }
    // Loads the engine has started in either view so far.
    int loadsStarted() const { return m_loadsStarted; }
    // Whether the newest version asked for is the one visible: nothing is being worked on or waits.
    bool isUpToDate() const { return m_work == Work::None && !m_next; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Work { None, Patch, Stage, Settle, Direct };

    QWebEnginePage *pageOf(int index) const;
    QWebEnginePage *shownPage() const { return pageOf(m_shown); }
    QWebEnginePage *stagePage() const { return pageOf(1 - m_shown); }
    bool showsPreviewedPage() const;
    void request(const QString &filePath, std::optional<QByteArray> unsaved);
    void startNext();
    void done();
    void patch(const QString &call, const QByteArray &bytes);
    void stage();
    void settle(int attempt);
    void waitForFrame(int attempt, const QVariant &scroll);
    void whenPainted(QWebEnginePage *page, Work work, const std::function<void()> &then, int polls = 0);
    void raiseStaged();
    void pageLoaded(int index, bool ok);
    void runInPage(QWebEnginePage *page, const QString &script, const std::function<void(const QVariant &)> &then = {});
    void watchForDoubleClicks(QObject *object);

    LocalOrigins m_origins;
    PreviewedPage m_page;
    QWebEngineProfile *m_profile;
    QPointer<QWidget> m_host;
    QStackedLayout *m_stack;
    QPointer<QWebEngineView> m_views[2];
    int m_shown = 0;

    Work m_work = Work::None;
    // The newest navigation not yet started: path, and bytes from memory.
    std::optional<std::pair<QString, std::optional<QByteArray>>> m_next;
    // What the visible view shows of the previewed page, when it is known, and the staged one.
    struct Version {
        QByteArray bytes;
        bool known = false;
        bool scripted = true;
    } m_shownVersion, m_stagedVersion;
    std::optional<std::pair<int, double>> m_follow;
    bool m_shownNavigates = false; // the visible view loads a page the user asked for
    int m_loadsStarted = 0;
    bool m_closing = false;
};

} // namespace qrn
