#pragma once

#include "TextEncoding.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace qrn {

// Decoded text and what could not be decoded: bytes that are no character in the encoding
// became U+FFFD.
struct DecodeResult {
    QString text;
    qsizetype badBytes = 0;
    qsizetype firstBadOffset = -1; // byte offset of the first, when badBytes > 0
};

DecodeResult decodeChecked(QByteArrayView bytes, const TextFormat &format);

// What strict UTF-8 makes of bytes: how many start no valid sequence, and whether any valid
// sequence is longer than one byte.
struct Utf8Scan {
    qsizetype badBytes = 0;
    qsizetype firstBadOffset = -1;
    bool multiByte = false;
};
Utf8Scan scanUtf8(QByteArrayView bytes);
// The same without the count. A byte-order mark is not part of the bytes given.
QString decodeText(QByteArrayView bytes, const TextFormat &format);
// Text in the encoding, without a byte-order mark; characters it cannot hold follow the policy.
EncodeResult encodeText(QStringView text, const TextFormat &format, Unmappable policy);
// The byte-order mark of the format's encoding.
QByteArray byteOrderMark(TextEncoding encoding);

// The document reading rule: a line ends at CR LF or at a lone CR (a lone LF stays inside its
// line); lines are joined again with CR LF, and the line end that ends the text is dropped.
QString documentTextFromFileText(QStringView fileText);
// The same on a text the caller gives up: without lone CRs it is changed in place, not copied.
QString documentTextFromFileText(QString &&fileText);

// The core works on std::u16string; QString holds the same UTF-16 code units.
inline std::u16string_view toU16View(QStringView s) { return {s.utf16(), static_cast<std::size_t>(s.size())}; }
inline QString fromU16(std::u16string_view s)
{
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace qrn
