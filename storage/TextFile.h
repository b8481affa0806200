#pragma once

#include "TextEncoding.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringView>

namespace qrn {

// The outcome of a file operation; the caller decides whether the user hears of a failure.
struct FileResult {
    bool ok = false;
    QString error; // the reason, when !ok

    static FileResult success() { return {true, {}}; }
    static FileResult failure(QString reason) { return {false, std::move(reason)}; }
};

struct ReadTextResult {
    bool ok = false;
    QString text;
    QString error;
};

// Reads a whole file's bytes.
struct ReadBytesResult {
    bool ok = false;
    QByteArray bytes;
    QString error;
};

// The largest input the program reads: a larger file, or a stream that goes on past it (such as
// /dev/zero), is refused instead of filling the memory.
inline constexpr qint64 MaxInputBytes = qint64(1) << 30;

// A regular file larger than the limit is refused before reading; any other file (a device, a
// FIFO) is read until its end or until the limit is passed.
ReadBytesResult readFileBytes(const QString &path, qint64 limit = MaxInputBytes);
// Reads an open device to its end the same way; `name` names it in the error.
ReadBytesResult readDeviceBytes(QIODevice &device, const QString &name, qint64 limit = MaxInputBytes);

// Reads a document (or an HTML file to import) by the document rule: decoded, lines ended by
// CR LF or a lone CR, joined with CR LF, no line end after the last line.
ReadTextResult readDocumentFile(const QString &path, TextEncoding encoding = TextEncoding::ShiftJis);

// Writes bytes so that the old file stays whole until the new one is complete, and flushes them
// to the disk before the new file takes the old one's place; a replaced file keeps its
// permissions. Every write and the flush are checked, so a full disk is a failure and the old
// file stays as it was. A device or FIFO is written in place: it cannot be replaced.
FileResult writeFileAtomically(const QString &path, const QByteArray &bytes);

// The same without waiting for the disk: for the preview's scratch file, rewritten at every
// keystroke and worthless after a crash. A fresh file is still renamed over the old one.
FileResult writeScratchFileAtomically(const QString &path, const QByteArray &bytes);

// Encodes the text followed by CR LF, the form every text file of the program has.
EncodeResult encodeTextFile(QStringView text, TextEncoding encoding, Unmappable policy);

// encodeTextFile into a result the caller keeps (its buffer is reused).
void encodeTextFileInto(QStringView text, TextEncoding encoding, Unmappable policy, EncodeResult &result);

// encodeTextFile, then writeFileAtomically.
FileResult writeTextFile(const QString &path, QStringView text, TextEncoding encoding, Unmappable policy);

// Removes a file; a file that is not there is no failure.
FileResult removeFileIfPresent(const QString &path);

} // namespace qrn
