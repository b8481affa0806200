#pragma once

#include "PreviewView.h"

#include <QPointer>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

class QWebEngineProfile;

namespace qrn {

// The scheme under which the pane shows local files. It must be registered before the
// application object is created; this also sets the engine switches that keep every page of the
// process off the network, which the engine reads once when it starts.
inline constexpr char LocalPageScheme[] = "qrn-file";
void registerLocalPageScheme();
// The given engine switches (as QTWEBENGINE_CHROMIUM_FLAGS holds them) with those that keep pages
// off the network added, and any that would undo them dropped.
QString offlineEngineSwitches(const QString &given);

// Where a page may reach local files: one folder and everything below it.
class LocalFolderRule {
public:
    void setAllowedFolder(const QString &folder);
    bool allowsPath(const QString &path) const;
    // The real path of a regular file inside the folder, every symbolic link followed; empty for
    // anything else: a folder, a missing file, a link that leads out of the folder.
    QString servableFile(const QString &path) const;

private:
    QString m_root; // cleaned absolute path
};

// Serves local files to the pane under LocalPageScheme: GET only, regular files only (never a
// folder listing), only from inside the allowed folder, streamed from disk. An HTML page that
// declares no charset is sent as Shift_JIS, the encoding of the files the editor writes, so the
// browser does not guess another one.
class LocalPageHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    LocalPageHandler(const LocalFolderRule &rule, QObject *parent) : QWebEngineUrlSchemeHandler(parent), m_rule(rule) {}
    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    const LocalFolderRule &m_rule;
};

// Keeps the pane on this machine: every request whose URL is not LocalPageScheme or made by the
// page itself (data:, blob:, about:) is refused, whatever asks for it: file: (which would list
// folders), http:, https:, ws:, wss:.
class LocalOnlyGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    explicit LocalOnlyGuard(QObject *parent) : QWebEngineUrlRequestInterceptor(parent) {}
    static bool allows(const QUrl &url);
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};

// The preview pane on QtWebEngine. A navigation to a file lets the page reach that file's folder
// and below; reloading the page already shown keeps its scroll position. The page follows no link
// that LocalOnlyGuard would refuse, so none (a mailto: say) is handed to another program either.
class WebPreview : public PreviewView {
    Q_OBJECT
public:
    explicit WebPreview(QWidget *parent);
    ~WebPreview() override;

    QWidget *widget() override;
    void navigate(const QString &filePath) override;
    bool goBack() override;
    bool goForward() override;

    QWebEngineView *view() const { return m_view; }
    static QUrl urlOfFile(const QString &filePath);

private:
    LocalFolderRule m_rule;
    QWebEngineProfile *m_profile;
    QPointer<QWebEngineView> m_view;
};

} // namespace qrn
