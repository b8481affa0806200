#pragma once

#include "TextEncoding.h"

#include <QByteArray>
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
ReadBytesResult readFileBytes(const QString &path);

// Reads a document (or an HTML file to import) by the document rule: decoded, lines ended by
// CR LF or a lone CR, joined with CR LF, no line end after the last line.
ReadTextResult readDocumentFile(const QString &path, TextEncoding encoding = TextEncoding::ShiftJis);

// Writes bytes so that the old file stays whole until the new one is complete, and flushes them
// to the disk before the new file takes the old one's place.
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
