#pragma once

#include "LocalOrigins.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>

#include <optional>

namespace qrn {

// Registers LocalPageScheme; must run before the application object is created. Also sets the
// engine switches (previewEngineSwitches), which the engine reads once when it starts.
void registerLocalPageScheme();

// The page the pane previews: served with line markers, and from memory while the scratch file
// cannot be written. Remembers the bytes it served last, for the pane to compare the next version with.
struct PreviewedPage {
    QUrl url; // under its own origin
    QString path;
    std::optional<QByteArray> unsaved;
    QByteArray served;
    bool servedAny = false;
};

// Serves LocalPageScheme: GET only, regular files only (never a folder listing), only what the
// URL's origin holds, streamed from disk; the previewed page with its line markers. An HTML page
// that declares no charset is sent as Shift_JIS, the encoding of the files the editor writes.
class LocalPageHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    LocalPageHandler(LocalOrigins &origins, PreviewedPage &page, QObject *parent)
        : QWebEngineUrlSchemeHandler(parent), m_origins(origins), m_page(page)
    {
    }
    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    LocalOrigins &m_origins;
    PreviewedPage &m_page;
};

// Applies the rules of LocalOrigins to every request the pane's pages make, and keeps what a page
// may reach to the web and this machine's files: http:, https:, ws: and wss: go out like a
// browser's; data:, blob: and about: stay in the page; a local URL (of the scheme or file:) only
// as a page or as something a page shows or runs, under the origin of the file it names; every
// other scheme (ftp:, mailto:, qrc: ...) is refused.
//
// WebSocket is allowed like any web request: with reads of local files closed, it can send no
// more than an image URL already could. WebRTC and WebTransport stay closed (engine switches, see
// registerLocalPageScheme): they send UDP that no request interceptor sees, and WebRTC tells the
// machine's addresses; a page being written needs neither.
class PreviewRequestGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    PreviewRequestGuard(LocalOrigins &origins, QObject *parent) : QWebEngineUrlRequestInterceptor(parent), m_origins(origins) {}
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
    static bool isWebScheme(const QString &scheme);

private:
    LocalOrigins &m_origins;
};

} // namespace qrn
