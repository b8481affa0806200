#include "TextFile.h"

#include "ShiftJisCodec.h"
#include "TextCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace qrn {

ReadBytesResult readFileBytes(const QString &path)
{
    ReadBytesResult result;
    if (QFileInfo(path).isDir()) {
        result.error = QStringLiteral("%1: is a folder").arg(path);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return result;
    }
    result.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        result.bytes.clear();
        return result;
    }
    result.ok = true;
    return result;
}

ReadTextResult readDocumentFile(const QString &path, TextEncoding encoding)
{
    ReadBytesResult raw = readFileBytes(path);
    if (!raw.ok)
        return {false, {}, raw.error};
    return {true, documentTextFromFileText(decodeText(raw.bytes, encoding)), {}};
}

FileResult writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return FileResult::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return FileResult::failure(QStringLiteral("%1: %2").arg(path, reason));
    }
    if (!file.commit())
        return FileResult::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
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
