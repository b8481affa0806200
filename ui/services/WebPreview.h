#pragma once

#include "PreviewView.h"

#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>

class QWebEngineView;
class QWebEngineProfile;

namespace qrn {

// Lets a page reach local files only inside one folder and below it; other local files are
// refused, so a page's script cannot read the rest of the disk.
class LocalFileGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setAllowedFolder(const QString &folder);
    bool allows(const QUrl &url) const;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    QString m_root; // cleaned absolute path, no trailing separator
};

// The preview pane on QtWebEngine. Pages without a declared charset are read as Shift_JIS, the
// encoding of the files the editor writes. Reloading the page already shown keeps its scroll
// position.
class WebPreview : public PreviewView {
    Q_OBJECT
public:
    explicit WebPreview(QWidget *parent);

    QWidget *widget() override;
    void navigate(const QString &filePath) override;
    bool goBack() override;
    bool goForward() override;

    QWebEngineView *view() const { return m_view; }

private:
    QWebEngineProfile *m_profile;
    LocalFileGuard *m_guard;
    QWebEngineView *m_view;
};

} // namespace qrn
