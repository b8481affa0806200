#include "RecoveryStore.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QUuid>

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qrn {

namespace {
const QString CopySuffix = QStringLiteral(".qrnr");
const QString LockSuffix = QStringLiteral(".lock");
const QString WorkFolderSuffix = QStringLiteral(".work");
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

RecoveryStore::~RecoveryStore()
{
    if (m_lockFd < 0)
        return;
    removeFileIfPresent(pathOf(m_id, WorkFolderSuffix));
    removeFileIfPresent(pathOf(m_id, LockSuffix));
    ::close(m_lockFd); // the kernel lock goes with it
}

QString RecoveryStore::pathOf(const QString &id, const QString &suffix) const
{
    return QDir(m_folder).filePath(id + suffix);
}

bool RecoveryStore::start()
{
    if (m_lockFd >= 0)
        return true;
    if (!QDir().mkpath(m_folder))
        return false;
    const QByteArray path = QFile::encodeName(pathOf(m_id, LockSuffix));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    return true;
}

bool RecoveryStore::isAlive(const QString &id) const
{
    if (id == m_id)
        return m_lockFd >= 0;
    const QByteArray path = QFile::encodeName(pathOf(id, LockSuffix));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false; // no lock file: its run has ended
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

FileResult RecoveryStore::save(const RecoveryCopy &copy)
{
    if (m_lockFd < 0)
        return FileResult::failure(QStringLiteral("%1: not in use").arg(m_folder));
    return writeFileAtomically(pathOf(m_id, CopySuffix), serialize(copy));
}

void RecoveryStore::remove()
{
    if (m_lockFd >= 0)
        removeFileIfPresent(pathOf(m_id, CopySuffix));
}

std::vector<RecoveryCopy> RecoveryStore::orphans() const
{
    std::vector<RecoveryCopy> found;
    const QFileInfoList files = QDir(m_folder).entryInfoList({QStringLiteral("*") + CopySuffix}, QDir::Files);
    for (const QFileInfo &file : files) {
        const QString id = file.completeBaseName();
        if (id == m_id || isAlive(id))
            continue;
        RecoveryCopy copy;
        const ReadBytesResult bytes = readFileBytes(file.filePath());
        if (!bytes.ok || !deserialize(bytes.bytes, copy))
            continue;
        copy.id = id;
        copy.written = file.lastModified();
        found.push_back(std::move(copy));
    }
    std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.written > b.written; });
    return found;
}

void RecoveryStore::discard(const RecoveryCopy &copy)
{
    if (copy.id.isEmpty() || copy.id == m_id || isAlive(copy.id))
        return;
    for (const QString &suffix : {CopySuffix, WorkFolderSuffix, LockSuffix})
        removeFileIfPresent(pathOf(copy.id, suffix));
}

void RecoveryStore::setWorkFolder(const QString &folder)
{
    // A record of this run's life only: whole or absent, but not worth a wait for the disk.
    if (m_lockFd >= 0)
        writeScratchFileAtomically(pathOf(m_id, WorkFolderSuffix), folder.toUtf8());
}

bool RecoveryStore::otherRunUses(const QString &folder) const
{
    const QFileInfoList files = QDir(m_folder).entryInfoList({QStringLiteral("*") + WorkFolderSuffix}, QDir::Files);
    for (const QFileInfo &file : files) {
        const QString id = file.completeBaseName();
        if (id == m_id || !isAlive(id))
            continue;
        const ReadBytesResult bytes = readFileBytes(file.filePath());
        if (bytes.ok && QString::fromUtf8(bytes.bytes) == folder)
            return true;
    }
    return false;
}

} // namespace qrn
