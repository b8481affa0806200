#include "TextFile.h"

#include "ShiftJisCodec.h"
#include "TextCodec.h"
#include "TextDetection.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qrn {

ReadBytesResult readDeviceBytes(QIODevice &device, const QString &name, qint64 limit)
{
    ReadBytesResult result;
    const auto tooLarge = [&] {
        result.error = QStringLiteral("%1: larger than %2 MiB, the most the program reads").arg(name).arg(limit >> 20);
        result.cause = FileErrorCause::TooLarge;
        result.bytes = QByteArray();
        return result;
    };
    if (!device.isSequential()) {
        if (device.size() > limit)
            return tooLarge();
        result.bytes.reserve(device.size());
    }
    constexpr qint64 Chunk = qint64(1) << 20;
    qint64 used = 0;
    for (;;) {
        // One byte past the limit tells a stream that goes on from one that ends exactly there.
        const qint64 want = std::min(Chunk, limit + 1 - used);
        result.bytes.resize(used + want);
        const qint64 n = device.read(result.bytes.data() + used, want);
        if (n < 0) {
            result.cause = fileErrorCause(errno);
            result.error = QStringLiteral("%1: %2").arg(name, device.errorString());
            result.bytes = QByteArray();
            return result;
        }
        used += n;
        if (used > limit)
            return tooLarge();
        if (n == 0)
            break;
    }
    result.bytes.resize(used);
    result.ok = true;
    return result;
}

ReadBytesResult readFileBytes(const QString &path, qint64 limit)
{
    ReadBytesResult result;
    const QFileInfo info(path);
    if (info.isDir()) {
        result.error = QStringLiteral("%1: is a folder").arg(path);
        result.cause = FileErrorCause::IsFolder;
        return result;
    }
    if (info.isFile() && info.size() > limit) {
        result.error = QStringLiteral("%1: larger than %2 MiB, the most the program reads").arg(path).arg(limit >> 20);
        result.cause = FileErrorCause::TooLarge;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.cause = fileErrorCause(errno);
        result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return result;
    }
    return readDeviceBytes(file, path, limit);
}

ReadTextResult documentFromBytes(QByteArrayView bytes, TextKind kind)
{
    DetectedText d = kind == TextKind::Html ? decodeDetectedHtml(bytes) : decodeDetected(bytes);
    // A file whose lines end in LF alone has them read as line ends, to be written back as LF.
    if (d.format.lineEnd == LineEnd::Lf)
        d.text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return {true, documentTextFromFileText(std::move(d.text)), {}, FileErrorCause::None, d.format, d.badBytes, d.firstBadLine};
}

ReadTextResult readDocumentFile(const QString &path, TextKind kind, QByteArray *bytesRead)
{
    ReadBytesResult raw = readFileBytes(path);
    if (!raw.ok)
        return {false, {}, raw.error, raw.cause, {}, 0, 0};
    ReadTextResult read = documentFromBytes(raw.bytes, kind);
    if (bytesRead)
        *bytesRead = std::move(raw.bytes);
    return read;
}

namespace {
// Reports a failed step with the system's words and the cause its error number gives; the
// number is taken as the step left it.
FileResult writeFailure(const QString &path, const QString &reason, int errorNumber)
{
    FileErrorCause cause = fileErrorCause(errorNumber);
    if (cause == FileErrorCause::Other && !QFileInfo(QFileInfo(path).absolutePath()).isDir())
        cause = FileErrorCause::FolderMissing;
    // Qt words a failed flush "Unknown error"; the system's own words say more.
    const QString words = errorNumber != 0 ? QString::fromLocal8Bit(std::strerror(errorNumber)) : reason;
    return FileResult::failure(QStringLiteral("%1: %2").arg(path, words), cause);
}

// What a replaced file keeps of its permissions: the owner, group and other bits only; the
// "user" bits say what this process may do, and for root they would add write permission to a
// read-only file.
QFileDevice::Permissions keptPermissions(const QFileInfo &target)
{
    if (!target.isFile())
        return {};
    return target.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

// A device or FIFO takes the bytes as they come; there is no old content to keep.
FileResult writeInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeFailure(path, file.errorString(), errno);
    if (file.write(bytes) != bytes.size() || !file.flush())
        return writeFailure(path, file.errorString(), errno);
    file.close();
    if (file.error() != QFileDevice::NoError)
        return writeFailure(path, file.errorString(), errno);
    return FileResult::success();
}
} // namespace

FileErrorCause fileErrorCause(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return FileErrorCause::DiskFull;
    case EACCES:
    case EPERM:
        return FileErrorCause::NoPermission;
    case EROFS:
        return FileErrorCause::ReadOnlyMedium;
    case ENOTDIR:
        return FileErrorCause::FolderMissing;
    case ENOENT:
        return FileErrorCause::NotFound;
    case EISDIR:
        return FileErrorCause::IsFolder;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
        return FileErrorCause::NameNotAllowed;
    default:
        return FileErrorCause::Other;
    }
}

FileResult writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return writeInPlace(path, bytes);
    if (target.isDir())
        return FileResult::failure(QStringLiteral("%1: is a folder").arg(path), FileErrorCause::IsFolder);
    const bool replacing = target.isFile();
    const QFileDevice::Permissions permissions = keptPermissions(target);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        // A missing folder says ENOENT: for a file being written that is the folder's absence.
        const int err = errno;
        return writeFailure(path, file.errorString(), err == ENOENT ? ENOTDIR : err);
    }
    // commit() alone may report success after its own flush failed: data that still sat in the
    // write buffer would be lost. Flush first and check it.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const int err = errno;
        const QString reason = file.errorString();
        file.cancelWriting();
        return writeFailure(path, reason, err);
    }
    if (!file.commit())
        return writeFailure(path, file.errorString(), errno);
    if (replacing)
        QFile::setPermissions(path, permissions);
    return FileResult::success();
}

StagedWrites::~StagedWrites()
{
    for (const Staged &staged : m_staged)
        QFile::remove(staged.temporary);
}

FileResult StagedWrites::stage(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return writeInPlace(path, bytes);
    if (target.isDir())
        return FileResult::failure(QStringLiteral("%1: is a folder").arg(path), FileErrorCause::IsFolder);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!file.open()) {
        const int err = errno;
        return writeFailure(path, file.errorString(), err == ENOENT ? ENOTDIR : err);
    }
    if (file.write(bytes) != bytes.size() || !file.flush())
        return writeFailure(path, file.errorString(), errno);
    Staged staged{path, file.fileName(), target.isFile(), {}};
    staged.permissions = staged.replacing ? keptPermissions(target)
                                          : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                                | QFileDevice::ReadOther;
    file.setAutoRemove(false);
    m_staged.push_back(std::move(staged));
    return FileResult::success();
}

FileResult StagedWrites::commit()
{
    FileResult first = FileResult::success();
    const auto fail = [&](const FileResult &result) {
        if (first.ok)
            first = result;
    };
    // One sync per file system holding staged files: their data is on the disk after it.
    std::vector<dev_t> synced;
    for (const Staged &staged : m_staged) {
        struct stat st {};
        if (::stat(QFile::encodeName(staged.temporary).constData(), &st) != 0
            || std::find(synced.begin(), synced.end(), st.st_dev) != synced.end())
            continue;
        const int fd = ::open(QFile::encodeName(staged.temporary).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::syncfs(fd) != 0)
            fail(writeFailure(staged.target, QStringLiteral("sync"), errno));
        if (fd >= 0)
            ::close(fd);
        synced.push_back(st.st_dev);
    }
    if (!first.ok)
        return first;
    std::vector<QString> folders;
    for (const Staged &staged : m_staged) {
        QFile::setPermissions(staged.temporary, staged.permissions);
        if (std::rename(QFile::encodeName(staged.temporary).constData(), QFile::encodeName(staged.target).constData()) != 0) {
            fail(writeFailure(staged.target, QString::fromLocal8Bit(std::strerror(errno)), errno));
            QFile::remove(staged.temporary);
            continue;
        }
        const QString folder = QFileInfo(staged.target).absolutePath();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    m_staged.clear();
    // The new names are on the disk too.
    for (const QString &folder : folders) {
        const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0)
            fail(writeFailure(folder, QStringLiteral("sync"), errno));
        if (fd >= 0)
            ::close(fd);
    }
    return first;
}

FileResult writeScratchFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return writeFailure(path, file.errorString(), errno);
    if (file.write(bytes) != bytes.size() || !file.flush())
        return writeFailure(path, file.errorString(), errno);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    // rename() replaces the old file in one step.
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return writeFailure(path, QString::fromLocal8Bit(std::strerror(errno)), errno);
    file.setAutoRemove(false);
    return FileResult::success();
}

EncodeResult encodeTextFile(QStringView text, const TextFormat &format, Unmappable policy)
{
    EncodeResult result;
    encodeTextFileInto(text, format, policy, result);
    return result;
}

void encodeTextFileInto(QStringView text, const TextFormat &format, Unmappable policy, EncodeResult &result)
{
    if (format.encoding == TextEncoding::ShiftJis && format.lineEnd == LineEnd::CrLf) {
        ShiftJisCodec::encodeInto(text, policy, result, "\r\n");
        return;
    }
    if (format.lineEnd == LineEnd::Lf) {
        QString lines = text.toString();
        lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        lines += QLatin1Char('\n');
        result = encodeText(lines, format, policy);
    } else {
        result = encodeText(text.toString() + QLatin1String("\r\n"), format, policy);
    }
    if (format.byteOrderMark)
        result.bytes.prepend(byteOrderMark(format.encoding));
}

FileResult writeTextFile(const QString &path, QStringView text, const TextFormat &format, Unmappable policy)
{
    return writeFileAtomically(path, encodeTextFile(text, format, policy).bytes);
}

FileResult removeFileIfPresent(const QString &path)
{
    QFile file(path);
    if (!file.exists() || file.remove())
        return FileResult::success();
    return writeFailure(path, file.errorString(), errno);
}

} // namespace qrn
