#include "TextCodec.h"

#include "IcuCodec.h"
#include "ShiftJisCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace qrn {

namespace {
constexpr char16_t Replacement = 0xFFFD;

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF. Each byte that starts no
// valid sequence is one bad byte. Gives the sequence's length and character, or 0 for a bad byte.
int utf8Sequence(const unsigned char *p, const unsigned char *end, char32_t &c)
{
    const unsigned b = *p;
    int length = 0;
    char32_t min = 0;
    if (b >= 0xC2 && b <= 0xDF)
        length = 2, c = b & 0x1F, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        length = 3, c = b & 0x0F, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        length = 4, c = b & 0x07, min = 0x10000;
    if (length == 0 || end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (p[i] & 0x3F);
    }
    return c >= min && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF) ? length : 0;
}

DecodeResult decodeUtf8(QByteArrayView bytes)
{
    const Utf8Scan scan = scanUtf8(bytes);
    DecodeResult r;
    if (scan.badBytes == 0) {
        r.text = QString::fromUtf8(bytes);
        return r;
    }
    r.badBytes = scan.badBytes;
    r.firstBadOffset = scan.firstBadOffset;
    r.text.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
            r.text.append(QChar(*p++));
            continue;
        }
        char32_t c = 0;
        const int length = utf8Sequence(p, end, c);
        if (length == 0) {
            r.text.append(QChar(Replacement));
            ++p;
        } else {
            if (QChar::requiresSurrogates(c)) {
                r.text.append(QChar(QChar::highSurrogate(c)));
                r.text.append(QChar(QChar::lowSurrogate(c)));
            } else {
                r.text.append(QChar(char16_t(c)));
            }
            p += length;
        }
    }
    return r;
}

DecodeResult decodeUtf16(QByteArrayView bytes, QStringConverter::Encoding encoding)
{
    DecodeResult r;
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    // An odd byte at the end holds no character: it becomes U+FFFD, as a lone surrogate does.
    const bool odd = bytes.size() % 2 != 0;
    r.text = decoder.decode(bytes.first(bytes.size() - (odd ? 1 : 0)));
    if (odd)
        r.text += QChar(Replacement);
    for (qsizetype i = 0; i < r.text.size(); ++i) {
        if (r.text[i].unicode() == Replacement) {
            // Only those that were not U+FFFD in the file count.
            const qsizetype at = i * 2;
            const bool literal = at + 1 < bytes.size()
                                 && ((encoding == QStringConverter::Utf16LE && uchar(bytes[at]) == 0xFD && uchar(bytes[at + 1]) == 0xFF)
                                     || (encoding == QStringConverter::Utf16BE && uchar(bytes[at]) == 0xFF && uchar(bytes[at + 1]) == 0xFD));
            if (!literal && r.badBytes++ == 0)
                r.firstBadOffset = at;
        }
    }
    return r;
}
} // namespace

Utf8Scan scanUtf8(QByteArrayView bytes)
{
    Utf8Scan scan;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const begin = p;
    const auto *const end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        char32_t c = 0;
        const int length = utf8Sequence(p, end, c);
        if (length == 0) {
            if (scan.badBytes++ == 0)
                scan.firstBadOffset = p - begin;
            ++p;
        } else {
            scan.multiByte = true;
            p += length;
        }
    }
    return scan;
}

QString encodingLabel(const TextFormat &format)
{
    switch (format.encoding) {
    case TextEncoding::ShiftJis:
        return QStringLiteral("Shift_JIS");
    case TextEncoding::Utf8:
        return QStringLiteral("UTF-8");
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return QStringLiteral("UTF-16");
    case TextEncoding::Other:
        break;
    }
    return QString::fromLatin1(format.otherName);
}

QByteArray byteOrderMark(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QByteArray("\xEF\xBB\xBF", 3);
    case TextEncoding::Utf16LE:
        return QByteArray("\xFF\xFE", 2);
    case TextEncoding::Utf16BE:
        return QByteArray("\xFE\xFF", 2);
    default:
        return {};
    }
}

DecodeResult decodeChecked(QByteArrayView bytes, const TextFormat &format)
{
    switch (format.encoding) {
    case TextEncoding::ShiftJis: {
        DecodeResult r;
        r.text = ShiftJisCodec::decode(bytes, r.badBytes, r.firstBadOffset);
        return r;
    }
    case TextEncoding::Utf8:
        return decodeUtf8(bytes);
    case TextEncoding::Utf16LE:
        return decodeUtf16(bytes, QStringConverter::Utf16LE);
    case TextEncoding::Utf16BE:
        return decodeUtf16(bytes, QStringConverter::Utf16BE);
    case TextEncoding::Other:
        break;
    }
    return IcuCodec::decode(bytes, format.otherName);
}

QString decodeText(QByteArrayView bytes, const TextFormat &format)
{
    if (format.encoding == TextEncoding::ShiftJis)
        return ShiftJisCodec::decode(bytes);
    return decodeChecked(bytes, format).text;
}

EncodeResult encodeText(QStringView text, const TextFormat &format, Unmappable policy)
{
    switch (format.encoding) {
    case TextEncoding::ShiftJis:
        return ShiftJisCodec::encode(text, policy);
    case TextEncoding::Utf8:
        return EncodeResult{text.toUtf8(), 0, 0};
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
        QStringEncoder encoder(format.encoding == TextEncoding::Utf16LE ? QStringConverter::Utf16LE
                                                                         : QStringConverter::Utf16BE);
        return EncodeResult{encoder.encode(text), 0, 0};
    }
    case TextEncoding::Other:
        break;
    }
    return IcuCodec::encode(text, format.otherName, policy);
}

QString documentTextFromFileText(QString &&fileText)
{
    QString text = std::move(fileText);
    const QChar *p = text.constData();
    const QChar *const end = p + text.size();
    for (const QChar *cr = std::find(p, end, QLatin1Char('\r')); cr != end; cr = std::find(cr + 1, end, QLatin1Char('\r'))) {
        if (cr + 1 == end || cr[1] != QLatin1Char('\n'))
            return documentTextFromFileText(QStringView(text));
    }
    if (text.endsWith(QLatin1String("\r\n")))
        text.chop(2);
    return text;
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
