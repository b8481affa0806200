#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlSchemeHandler>

#include <optional>

namespace qrn {

// The scheme under which the pane shows local files: "qrn-file://HOST/absolute/path". It must be
// registered before the application object is created (registerLocalPageScheme).
inline constexpr char LocalPageScheme[] = "qrn-file";

// Who may read which local file, decided by the engine's own same-origin rules.
//
// A page the editor shows is served under an origin (a host of LocalPageScheme) that holds its
// folder and everything below it: its frames, images and style sheets there are its own. Anything
// else it refers to is moved out of that origin before it loads: a frame or a link to a page
// outside becomes a document of an origin that holds that file alone, and an image, style sheet,
// font or script outside is handed to the engine's file: loader, which marks what it delivers to
// another origin as opaque. So an outside frame has no contentDocument and a canvas an outside
// image is drawn on is tainted. (Our own scheme handler cannot do that marking: the engine treats
// whatever a custom scheme delivers as same-origin data.)
//
// The scheme is not flagged local: the engine lets local pages load web resources only together
// with universal access to every file, so the scheme's pages are ordinary pages that may load
// local files (LocalAccessAllowed), and web content never reaches them: a request for a local URL
// from a web page is refused, and no script reads a local URL (XMLHttpRequest and fetch are
// refused whatever the origin, as for file: pages in a browser).
//
// Hosts are random and held for the pane's life, so history entries keep working; a host grants
// nothing by being known, since requests from other origins are moved out as above.
class LocalOrigins {
public:
    // The URL of a file under the origin of its folder (made on first use).
    QUrl urlInFolder(const QString &filePath);
    // The URL of a file under an origin that holds it alone (made on first use).
    QUrl urlAlone(const QString &filePath);
    bool knows(const QString &host) const { return m_roots.contains(host); }
    // Whether the origin holds the file, with every symbolic link followed.
    bool holds(const QString &host, const QString &path) const;
    // The real path of the regular file a URL of the scheme names, if its origin holds it; empty
    // for anything else: a folder, a missing file, a link that leads out.
    QString servableFile(const QUrl &url) const;

    // The clean absolute path a URL of the scheme or of file: names, percent-encoding decoded
    // before ".." is resolved.
    static QString pathOf(const QUrl &url);
    // The path with every symbolic link followed, or the clean path when there is no such file.
    static QString realPath(const QString &path);

private:
    QString hostFor(QHash<QString, QString> &hosts, const QString &root, bool folder);
    struct Root {
        QString path;
        bool folder;
    };
    QHash<QString, Root> m_roots; // host -> what it holds
    QHash<QString, QString> m_folderHosts, m_fileHosts; // real path -> host
};

// The page the pane previews: served with line markers, and from memory while the scratch file
// cannot be written. Remembers the bytes it served last, for the pane to compare the next version with.
struct PreviewedPage {
    QUrl url; // under its folder's origin
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
    LocalPageHandler(const LocalOrigins &origins, PreviewedPage &page, QObject *parent)
        : QWebEngineUrlSchemeHandler(parent), m_origins(origins), m_page(page)
    {
    }
    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    const LocalOrigins &m_origins;
    PreviewedPage &m_page;
};

// Applies the rules of LocalOrigins to every request the pane's pages make, and keeps what a page
// may reach to the web and this machine's files: http:, https:, ws: and wss: go out like a
// browser's; data:, blob: and about: stay in the page; file: only as a regular file loaded into a
// page; every other scheme (ftp:, mailto:, qrc: ...) is refused.
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
