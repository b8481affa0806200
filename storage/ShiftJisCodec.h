#pragma once

#include "TextEncoding.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace qrn {

// Shift_JIS as Windows code page 932 (Windows-31J) maps it. The mapping is taken once, at first
// use, from ICU's windows-31j converter into two lookup tables, so each character costs one load.
class ShiftJisCodec {
public:
    // Bytes that map to nothing decode to U+FFFD.
    static QString decode(QByteArrayView bytes);
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
