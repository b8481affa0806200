#pragma once

#include "TextEncoding.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace qrn {

// Text read from a file, the format it was read in (and is to be written back in), and what
// could not be decoded.
struct DetectedText {
    QString text; // as the file holds it, without a byte-order mark
    TextFormat format;
    qsizetype badBytes = 0;
    qsizetype firstBadLine = 0; // 1-based line of the first undecodable byte, when badBytes > 0
};

// The reading rule for documents and inputs: a UTF-8 byte-order mark means UTF-8, a UTF-16 one
// UTF-16; without a mark, bytes that are valid UTF-8 holding at least one multi-byte sequence are
// UTF-8; everything else is Shift_JIS. UTF-8 and UTF-16 keep their mark and their line ends
// (LF when every line ends in LF alone); Shift_JIS is written back with CR LF.
DetectedText decodeDetected(QByteArrayView bytes);

// The same for an HTML file to import: the charset the page declares (declaredPageCharset) wins
// when the bytes decode in it without errors.
DetectedText decodeDetectedHtml(QByteArrayView bytes);

// The format a converted page is written in: the encoding it declares (declaredPageCharset) when
// that can be written byte by byte (UTF-8, Shift_JIS and its other names, or any other ICU can
// write), Shift_JIS otherwise.
TextFormat pageFormat(QStringView html);
// The format the bytes of a written page are in, by the same rule (a byte-order mark first).
TextFormat pageFormat(QByteArrayView bytes);
// The charset name of a format, lower case, as a Content-Type parameter says it.
QByteArray charsetName(const TextFormat &format);

// The 1-based line a byte offset lies on; CR LF, a lone CR and a lone LF each end a line.
qsizetype lineOfByteOffset(QByteArrayView bytes, qsizetype offset);

// The encoding a charset name stands for; nothing when no converter knows it.
std::optional<TextFormat> formatForCharset(const QByteArray &name);

} // namespace qrn
