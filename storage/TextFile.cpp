#include "TextFile.h"

#include "ShiftJisCodec.h"
#include "TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qrn {

ReadBytesResult readDeviceBytes(QIODevice &device, const QString &name, qint64 limit)
{
    ReadBytesResult result;
    const auto tooLarge = [&] {
        result.error = QStringLiteral("%1: larger than %2 MiB, the most the program reads").arg(name).arg(limit >> 20);
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
        return result;
    }
    if (info.isFile() && info.size() > limit) {
        result.error = QStringLiteral("%1: larger than %2 MiB, the most the program reads").arg(path).arg(limit >> 20);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return result;
    }
    return readDeviceBytes(file, path, limit);
}

ReadTextResult readDocumentFile(const QString &path, TextEncoding encoding)
{
    ReadBytesResult raw = readFileBytes(path);
    if (!raw.ok)
        return {false, {}, raw.error};
    return {true, documentTextFromFileText(decodeText(raw.bytes, encoding)), {}};
}

namespace {
FileResult writeFailure(const QString &path, const QString &reason)
{
    return FileResult::failure(QStringLiteral("%1: %2").arg(path, reason));
}

// A device or FIFO takes the bytes as they come; there is no old content to keep.
FileResult writeInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeFailure(path, file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush())
        return writeFailure(path, file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        return writeFailure(path, file.errorString());
    return FileResult::success();
}
} // namespace

FileResult writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return writeInPlace(path, bytes);
    const bool replacing = target.isFile();
    // The owner, group and other bits only: the "user" bits say what this process may do, and
    // for root they would add write permission to a read-only file.
    const QFileDevice::Permissions permissions =
        replacing ? target.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser)
                  : QFileDevice::Permissions();

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return writeFailure(path, file.errorString());
    // commit() alone may report success after its own flush failed: data that still sat in the
    // write buffer would be lost. Flush first and check it.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return writeFailure(path, reason);
    }
    if (!file.commit())
        return writeFailure(path, file.errorString());
    if (replacing)
        QFile::setPermissions(path, permissions);
    return FileResult::success();
}

FileResult writeScratchFileAtomically(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    QTemporaryFile file(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return FileResult::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush())
        return FileResult::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    // rename() replaces the old file in one step.
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return FileResult::failure(QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    file.setAutoRemove(false);
    return FileResult::success();
}

EncodeResult encodeTextFile(QStringView text, TextEncoding encoding, Unmappable policy)
{
    EncodeResult result;
    encodeTextFileInto(text, encoding, policy, result);
    return result;
}

void encodeTextFileInto(QStringView text, TextEncoding encoding, Unmappable policy, EncodeResult &result)
{
    if (encoding == TextEncoding::ShiftJis) {
        ShiftJisCodec::encodeInto(text, policy, result, "\r\n");
        return;
    }
    result = encodeText(text, encoding, policy);
    result.bytes.append("\r\n", 2);
}

FileResult writeTextFile(const QString &path, QStringView text, TextEncoding encoding, Unmappable policy)
{
    return writeFileAtomically(path, encodeTextFile(text, encoding, policy).bytes);
}

FileResult removeFileIfPresent(const QString &path)
{
    QFile file(path);
    if (!file.exists() || file.remove())
        return FileResult::success();
    return FileResult::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
}

} // namespace qrn
