#pragma once

#include "TextEncoding.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace qrn {

QString decodeText(QByteArrayView bytes, TextEncoding encoding);
EncodeResult encodeText(QStringView text, TextEncoding encoding, Unmappable policy);

// The document reading rule: a line ends at CR LF or at a lone CR (a lone LF stays inside its
// line); lines are joined again with CR LF, and the line end that ends the text is dropped.
QString documentTextFromFileText(QStringView fileText);

// The core works on std::u16string; QString holds the same UTF-16 code units.
inline std::u16string_view toU16View(QStringView s) { return {s.utf16(), static_cast<std::size_t>(s.size())}; }
inline QString fromU16(std::u16string_view s)
{
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace qrn
