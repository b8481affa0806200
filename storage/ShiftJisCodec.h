#pragma once

#include "TextEncoding.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace qrn {

// Shift_JIS as Windows code page 932 (Windows-31J) maps it. The mapping comes from ICU's
// windows-31j converter as lookup tables generated at build time, so each character costs one
// load and a process pays nothing to set them up.
// On encoding, the JIS X 0208 forms of seven characters that code page 932 holds under other code
// points (WAVE DASH U+301C for 0x8160, and so on) are written as those; decoding is unchanged.
class ShiftJisCodec {
public:
    // Bytes that map to nothing decode to U+FFFD.
    static QString decode(QByteArrayView bytes);
    // The same, counting the bytes that mapped to nothing and the offset of the first of them.
    static QString decode(QByteArrayView bytes, qsizetype &badBytes, qsizetype &firstBadOffset);
    static EncodeResult encode(QStringView text, Unmappable policy);
    // The same into a result the caller keeps, reusing its buffer; `suffix` is appended after.
    static void encodeInto(QStringView text, Unmappable policy, EncodeResult &result, QByteArrayView suffix = {});
    // True when every character of the text has a Shift_JIS form.
    static bool canEncode(QStringView text);

private:
    struct Tables;
    static const Tables &tables();
};

} // namespace qrn
