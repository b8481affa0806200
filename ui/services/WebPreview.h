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
// application object is created.
inline constexpr char LocalPageScheme[] = "qrn-file";
void registerLocalPageScheme();

// Where a page may reach local files: one folder and everything below it.
class LocalFolderRule {
public:
    void setAllowedFolder(const QString &folder);
    bool allowsPath(const QString &path) const;

private:
    QString m_root; // cleaned absolute path
};

// Serves local files to the pane under LocalPageScheme, only from inside the allowed folder.
// An HTML page that declares no charset is sent as Shift_JIS, the encoding of the files the
// editor writes, so the browser does not guess another one.
class LocalPageHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    LocalPageHandler(const LocalFolderRule &rule, QObject *parent) : QWebEngineUrlSchemeHandler(parent), m_rule(rule) {}
    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    const LocalFolderRule &m_rule;
};

// Refuses file: requests outside the allowed folder as well, whatever asks for them.
class LocalFileGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    LocalFileGuard(const LocalFolderRule &rule, QObject *parent) : QWebEngineUrlRequestInterceptor(parent), m_rule(rule) {}
    bool allows(const QUrl &url) const;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    const LocalFolderRule &m_rule;
};

// The preview pane on QtWebEngine. A navigation to a file lets the page reach that file's folder
// and below; reloading the page already shown keeps its scroll position.
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
