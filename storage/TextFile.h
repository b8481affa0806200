#pragma once

#include "TextEncoding.h"

#include <QByteArray>
#include <QFileDevice>
#include <QIODevice>
#include <QString>
#include <QStringView>

#include <vector>

namespace qrn {

// Why a file could not be read or written, as far as the system says.
enum class FileErrorCause {
    None,
    DiskFull,       // no space left, a quota or a file-size limit reached
    NoPermission,
    ReadOnlyMedium,
    FolderMissing,  // the folder of the file does not exist
    NameNotAllowed, // too long, or a character the file system refuses
    NotFound,
    IsFolder,
    TooLarge,       // an input past MaxInputBytes
    Other,
};

// The cause a system error number stands for.
FileErrorCause fileErrorCause(int errorNumber);

// The outcome of a file operation; the caller decides whether the user hears of a failure.
struct FileResult {
    bool ok = false;
    QString error; // the file and the system's own words, when !ok
    FileErrorCause cause = FileErrorCause::None;

    static FileResult success() { return {true, {}, FileErrorCause::None}; }
    static FileResult failure(QString reason, FileErrorCause cause = FileErrorCause::Other)
    {
        return {false, std::move(reason), cause};
    }
};

struct ReadTextResult {
    bool ok = false;
    QString text;
    QString error;
    FileErrorCause cause = FileErrorCause::None;
    TextFormat format;          // what the file was read as, to write it back the same way
    qsizetype badBytes = 0;     // bytes the encoding could not decode (U+FFFD in the text)
    qsizetype firstBadLine = 0; // the line of the first of them
};

// Reads a whole file's bytes.
struct ReadBytesResult {
    bool ok = false;
    QByteArray bytes;
    QString error;
    FileErrorCause cause = FileErrorCause::None;
};

// The largest input the program reads: a larger file, or a stream that goes on past it (such as
// /dev/zero), is refused instead of filling the memory.
inline constexpr qint64 MaxInputBytes = qint64(1) << 30;

// A regular file larger than the limit is refused before reading; any other file (a device, a
// FIFO) is read until its end or until the limit is passed.
ReadBytesResult readFileBytes(const QString &path, qint64 limit = MaxInputBytes);
// Reads an open device to its end the same way; `name` names it in the error.
ReadBytesResult readDeviceBytes(QIODevice &device, const QString &name, qint64 limit = MaxInputBytes);

// What kind of file is read: a document by the detection rule alone, or an HTML page whose
// declared charset may decide.
enum class TextKind { Document, Html };

// Reads a document (or an HTML file to import): its encoding detected, decoded, lines ended by
// CR LF or a lone CR, joined with CR LF, no line end after the last line.
ReadTextResult readDocumentFile(const QString &path, TextKind kind = TextKind::Document, QByteArray *bytesRead = nullptr);
// The detection and the document rule on bytes already read.
ReadTextResult documentFromBytes(QByteArrayView bytes, TextKind kind = TextKind::Document);

// Writes bytes so that the old file stays whole until the new one is complete, and flushes them
// to the disk before the new file takes the old one's place; a replaced file keeps its
// permissions. Every write and the flush are checked, so a full disk is a failure and the old
// file stays as it was. A device or FIFO is written in place: it cannot be replaced.
FileResult writeFileAtomically(const QString &path, const QByteArray &bytes);

// Many files written together, durably and at disk speed: each goes to a temporary file beside
// its target; commit() puts all of them on the disk with one sync of their file system, then
// renames each into place and syncs the folders once. A success means every file is on disk;
// until commit() no target changes, and what is not committed is removed. (A sync per file waits
// for the disk once per file: 10,000 small files took minutes.)
class StagedWrites {
public:
    StagedWrites() = default;
    StagedWrites(const StagedWrites &) = delete;
    StagedWrites &operator=(const StagedWrites &) = delete;
    ~StagedWrites();

    // Writes the bytes to a temporary file beside `path`. A target that is a device or FIFO is
    // written in place at once.
    FileResult stage(const QString &path, const QByteArray &bytes);
    // Makes every staged file durable and puts it in place; the first failure, after trying all.
    FileResult commit();

private:
    struct Staged {
        QString target;
        QString temporary;
        bool replacing = false;
        QFileDevice::Permissions permissions;
    };
    std::vector<Staged> m_staged;
};

// The same without waiting for the disk: for the preview's scratch file, rewritten at every
// keystroke and worthless after a crash. A fresh file is still renamed over the old one.
FileResult writeScratchFileAtomically(const QString &path, const QByteArray &bytes);

// Encodes the text followed by a line end, the form every text file of the program has: the
// format's mark first, and its line ends (the text's CR LF become LF for an LF file).
EncodeResult encodeTextFile(QStringView text, const TextFormat &format, Unmappable policy);

// encodeTextFile into a result the caller keeps (its buffer is reused).
void encodeTextFileInto(QStringView text, const TextFormat &format, Unmappable policy, EncodeResult &result);

// encodeTextFile, then writeFileAtomically.
FileResult writeTextFile(const QString &path, QStringView text, const TextFormat &format, Unmappable policy);

// Removes a file; a file that is not there is no failure.
FileResult removeFileIfPresent(const QString &path);

} // namespace qrn
