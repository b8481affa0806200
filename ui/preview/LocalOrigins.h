#pragma once

#include <QHash>
#include <QString>
#include <QUrl>

namespace qrn {

// The scheme under which the pane shows local files: "qrn-file://HOST/absolute/path". It must be
// registered before the application object is created (registerLocalPageScheme).
inline constexpr char LocalPageScheme[] = "qrn-file";

// Who may read which local file, decided by the engine's own same-origin and CORS rules.
//
// Every local file the pane loads as a document is served under an origin (a host of
// LocalPageScheme) that holds that file alone, as a browser gives every file: page an origin of
// its own. The previewed page is therefore the only document of its origin, and a page reached
// by a link or shown in a frame gets an origin of its own in turn.
//
// Everything else a page refers to (images, style sheets, fonts, media, scripts, objects, modules)
// first moves to the resource URL of the file it names, on that file's origin. The scheme is not
// CORS-enabled, so the engine refuses every request there that needs CORS (fetch, XMLHttpRequest,
// module scripts, JSON imports, crossorigin images). What is left asks for no CORS, and the
// handler passes it on to the engine's file: loader, which marks what it delivers to another
// origin as opaque: a canvas is tainted, cssRules throws, a classic script's errors are muted.
// (The engine treats what a custom scheme delivers as the asking page's own data, so the scheme
// itself cannot serve those.) Such a file: URL carries a token of its file, so that only the
// handler's hand-over reaches the file: loader; a page's own file: URLs go the long way round.
//
// The engine cannot see what is behind a path, so PreviewRequestGuard and LocalPageHandler keep
// the rest: no folder listing, no device or other non-regular file, percent-encoded ".." decoded
// before a path is resolved, and nothing local for a web page.
//
// The scheme is not flagged local: the engine lets local pages load web resources only together
// with universal access to every file, so the scheme's pages are ordinary pages that may load
// local files (LocalAccessAllowed).
//
// Hosts and tokens are random and held for the pane's life, so history entries keep working.
class LocalOrigins {
public:
    // The URL of a file as a document, under the origin that holds it alone (made on first use).
    QUrl urlOf(const QString &filePath);
    // The URL of a file as something a page shows or runs: on the file's origin, marked.
    QUrl resourceUrlOf(const QString &filePath);
    static bool isResourceUrl(const QUrl &url);
    // The file: URL of a regular file, with the token that lets it past the guard.
    QUrl fileUrlOf(const QString &realPath);
    // Whether a file: URL carries the token of the file it names.
    bool grantsFile(const QUrl &fileUrl) const;
    bool knows(const QString &host) const { return m_files.contains(host); }
    // Whether the origin is the one of this file, with every symbolic link followed.
    bool holds(const QString &host, const QString &path) const;
    // The real path of the regular file a URL of the scheme names, if its origin holds it; empty
    // for anything else: a folder, a missing file, a device.
    QString servableFile(const QUrl &url) const;

    // The clean absolute path a URL of the scheme or of file: names, percent-encoding decoded
    // before ".." is resolved.
    static QString pathOf(const QUrl &url);
    // The path with every symbolic link followed, or the clean path when there is no such file.
    static QString realPath(const QString &path);

private:
    QHash<QString, QString> m_files; // host -> real path of the file it holds
    QHash<QString, QString> m_hosts; // real path -> host
    QHash<QString, QString> m_tokens; // real path -> token of its file: URL
};

} // namespace qrn
