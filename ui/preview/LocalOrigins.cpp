#include "LocalOrigins.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace qrn {

QString LocalOrigins::pathOf(const QUrl &url)
{
    const QString path = url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded);
    return QDir::cleanPath(path);
}

QString LocalOrigins::realPath(const QString &path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // A file that does not exist (yet): its folder's real path, so it compares with real roots.
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : QDir(folder).filePath(info.fileName());
}

static QUrl localUrl(const QString &host, const QString &filePath)
{
    QUrl url;
    url.setScheme(QString::fromLatin1(LocalPageScheme));
    url.setHost(host);
    url.setPath(QDir::cleanPath(QDir::fromNativeSeparators(QFileInfo(filePath).absoluteFilePath())), QUrl::DecodedMode);
    return url;
}

QUrl LocalOrigins::urlOf(const QString &filePath)
{
    const QString real = realPath(filePath);
    QString &host = m_hosts[real];
    if (host.isEmpty()) {
        do
            host = QStringLiteral("p%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        while (m_files.contains(host));
        m_files.insert(host, real);
    }
    return localUrl(host, filePath);
}

QUrl LocalOrigins::resourceUrlOf(const QString &filePath)
{
    QUrl url = urlOf(filePath);
    url.setQuery(QStringLiteral("qrn-resource"));
    return url;
}

bool LocalOrigins::isResourceUrl(const QUrl &url)
{
    return url.query() == QLatin1String("qrn-resource");
}

static QString randomToken()
{
    return QString::number(QRandomGenerator::global()->generate64(), 16) + QString::number(QRandomGenerator::global()->generate64(), 16);
}

QUrl LocalOrigins::fileUrlOf(const QString &realPath)
{
    QString &token = m_tokens[realPath];
    if (token.isEmpty())
        token = randomToken();
    QUrl url = QUrl::fromLocalFile(realPath);
    url.setQuery(QStringLiteral("qrn=") + token);
    return url;
}

bool LocalOrigins::grantsFile(const QUrl &fileUrl) const
{
    const auto token = m_tokens.constFind(realPath(pathOf(fileUrl)));
    return token != m_tokens.cend() && fileUrl.query() == QStringLiteral("qrn=") + *token;
}

bool LocalOrigins::holds(const QString &host, const QString &path) const
{
    const auto file = m_files.constFind(host);
    return file != m_files.cend() && realPath(path) == *file;
}

QString LocalOrigins::servableFile(const QUrl &url) const
{
    const QString path = pathOf(url);
    const QFileInfo info(path);
    if (!info.isFile() || !holds(url.host(), path))
        return {};
    return info.canonicalFilePath();
}

} // namespace qrn
