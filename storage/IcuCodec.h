#pragma once

#include "TextCodec.h"
#include "TextEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

namespace qrn {

// Encodings other than the program's own, through ICU's converters: the EUC-JP or ISO-2022-JP
// a page may declare, and any other ICU knows.
class IcuCodec {
public:
    // ICU's own name for the encoding, or empty when it has none.
    static QByteArray canonicalName(const QByteArray &name);
    static DecodeResult decode(QByteArrayView bytes, const QByteArray &name);
    static EncodeResult encode(QStringView text, const QByteArray &name, Unmappable policy);
};

} // namespace qrn
