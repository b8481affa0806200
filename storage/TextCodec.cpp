#include "TextCodec.h"

#include "ShiftJisCodec.h"

#include <algorithm>

namespace qrn {

QString decodeText(QByteArrayView bytes, TextEncoding encoding)
{
    return encoding == TextEncoding::ShiftJis ? ShiftJisCodec::decode(bytes) : QString::fromUtf8(bytes);
}

EncodeResult encodeText(QStringView text, TextEncoding encoding, Unmappable policy)
{
    if (encoding == TextEncoding::ShiftJis)
        return ShiftJisCodec::encode(text, policy);
    return EncodeResult{text.toUtf8(), 0, 0};
}

QString documentTextFromFileText(QStringView fileText)
{
    QString out;
    out.reserve(fileText.size() + fileText.size() / 32 + 2);
    const QChar *p = fileText.data();
    const QChar *const end = p + fileText.size();
    while (p < end) {
        // Copy up to the next CR in one piece; only a lone CR needs an LF added.
        const QChar *cr = std::find(p, end, QLatin1Char('\r'));
        out.append(p, cr - p);
        if (cr == end)
            break;
        out.append(QLatin1String("\r\n"));
        p = cr + 1;
        if (p < end && *p == QLatin1Char('\n'))
            ++p;
    }
    if (out.endsWith(QLatin1String("\r\n")))
        out.chop(2);
    return out;
}

} // namespace qrn
