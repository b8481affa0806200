#include "RecoveryStore.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QDateTime>
#include <QUuid>

#include <algorithm>

namespace qrn {

namespace {
const QString CopySuffix = QStringLiteral(".qrnr");
const QString LockSuffix = QStringLiteral(".lock");
constexpr quint32 Magic = 0x51524E52; // "QRNR"
constexpr quint32 Version = 1;

QByteArray serialize(const RecoveryCopy &copy)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_4);
    out << Magic << Version << copy.docPath << copy.text << static_cast<qint32>(copy.format.encoding)
        << copy.format.otherName << copy.format.byteOrderMark << static_cast<qint32>(copy.format.lineEnd);
    return bytes;
}

bool deserialize(const QByteArray &bytes, RecoveryCopy &copy)
{
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0, version = 0;
    qint32 encoding = 0, lineEnd = 0;
    in >> magic >> version;
    if (magic != Magic || version != Version)
        return false;
    in >> copy.docPath >> copy.text >> encoding >> copy.format.otherName >> copy.format.byteOrderMark >> lineEnd;
    if (in.status() != QDataStream::Ok || encoding < 0 || encoding > int(TextEncoding::Other) || lineEnd < 0
        || lineEnd > int(LineEnd::Lf))
        return false;
    copy.format.encoding = static_cast<TextEncoding>(encoding);
    copy.format.lineEnd = static_cast<LineEnd>(lineEnd);
    return true;
}
} // namespace

RecoveryStore::RecoveryStore(QString folder)
    : m_folder(std::move(folder)), m_id(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

RecoveryStore::~RecoveryStore() = default;

QString RecoveryStore::copyPath(const QString &id) const
{
    return QDir(m_folder).filePath(id + CopySuffix);
}

QString RecoveryStore::lockPath(const QString &id) const
{
    return QDir(m_folder).filePath(id + LockSuffix);
}

bool RecoveryStore::start()
{
    if (!QDir().mkpath(m_folder))
        return false;
    m_lock = std::make_unique<QLockFile>(lockPath(m_id));
    // Only a run that no longer exists leaves a stale lock: a live run keeps its own however long.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return false;
    }
    return true;
}

FileResult RecoveryStore::save(const RecoveryCopy &copy)
{
    if (!m_lock)
        return FileResult::failure(QStringLiteral("%1: not in use").arg(m_folder));
    return writeFileAtomically(copyPath(m_id), serialize(copy));
}

void RecoveryStore::remove()
{
    if (m_lock)
        removeFileIfPresent(copyPath(m_id));
}

std::vector<RecoveryCopy> RecoveryStore::orphans() const
{
    std::vector<std::pair<QDateTime, RecoveryCopy>> found;
    const QFileInfoList files = QDir(m_folder).entryInfoList({QStringLiteral("*") + CopySuffix}, QDir::Files);
    for (const QFileInfo &file : files) {
        const QString id = file.completeBaseName();
        if (id == m_id)
            continue;
        QLockFile lock(lockPath(id));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(0))
            continue; // its run is alive
        lock.unlock();
        RecoveryCopy copy;
        const ReadBytesResult bytes = readFileBytes(file.filePath());
        if (!bytes.ok || !deserialize(bytes.bytes, copy))
            continue;
        copy.id = id;
        found.emplace_back(file.lastModified(), std::move(copy));
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<RecoveryCopy> copies;
    for (auto &f : found)
        copies.push_back(std::move(f.second));
    return copies;
}

void RecoveryStore::discard(const RecoveryCopy &copy)
{
    if (copy.id.isEmpty() || copy.id == m_id)
        return;
    removeFileIfPresent(copyPath(copy.id));
    removeFileIfPresent(lockPath(copy.id));
}

} // namespace qrn
