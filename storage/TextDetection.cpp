#include "TextDetection.h"

#include "IcuCodec.h"
#include "PageCharset.h"
#include "TextCodec.h"


namespace qrn {

namespace {
// LF when the text has line ends and every one is an LF alone.
LineEnd lineEndsOf(QStringView text)
{
    return text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')) ? LineEnd::Lf : LineEnd::CrLf;
}

DetectedText decodeAs(QByteArrayView bytes, TextFormat format)
{
    DetectedText d;
    const DecodeResult r = decodeChecked(bytes, format);
    d.text = r.text;
    d.badBytes = r.badBytes;
    if (r.badBytes > 0)
        d.firstBadLine = lineOfByteOffset(bytes, r.firstBadOffset);
    if (format.encoding != TextEncoding::ShiftJis)
        format.lineEnd = lineEndsOf(d.text);
    d.format = format;
    return d;
}
} // namespace

qsizetype lineOfByteOffset(QByteArrayView bytes, qsizetype offset)
{
    qsizetype line = 1;
    for (qsizetype i = 0; i < offset && i < bytes.size(); ++i) {
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
            ++line;
    }
    return line;
}

DetectedText decodeDetected(QByteArrayView bytes)
{
    for (const TextEncoding e : {TextEncoding::Utf8, TextEncoding::Utf16LE, TextEncoding::Utf16BE}) {
        const QByteArray mark = byteOrderMark(e);
        if (bytes.startsWith(mark)) {
            TextFormat format(e);
            format.byteOrderMark = true;
            return decodeAs(bytes.sliced(mark.size()), format);
        }
    }
    const Utf8Scan scan = scanUtf8(bytes);
    if (scan.badBytes == 0 && scan.multiByte)
        return decodeAs(bytes, TextEncoding::Utf8);
    return decodeAs(bytes, TextEncoding::ShiftJis);
}

DetectedText decodeDetectedHtml(QByteArrayView bytes)
{
    const bool marked = bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
    if (!marked) {
        if (const auto name = declaredPageCharset(bytes)) {
            if (const auto format = formatForCharset(*name)) {
                DetectedText d = decodeAs(bytes, *format);
                if (d.badBytes == 0)
                    return d;
            }
        }
    }
    return decodeDetected(bytes);
}

std::optional<TextFormat> formatForCharset(const QByteArray &name)
{
    const QByteArray n = name.toLower();
    if (n == "utf-8" || n == "utf8")
        return TextFormat(TextEncoding::Utf8);
    if (n == "shift_jis" || n == "shift-jis" || n == "sjis" || n == "x-sjis" || n == "windows-31j" || n == "cp932"
        || n == "ms932" || n == "ms_kanji" || n == "csshiftjis")
        return TextFormat(TextEncoding::ShiftJis);
    if (n == "utf-16" || n == "utf-16le")
        return TextFormat(TextEncoding::Utf16LE);
    if (n == "utf-16be")
        return TextFormat(TextEncoding::Utf16BE);
    const QByteArray icu = IcuCodec::canonicalName(name);
    if (icu.isEmpty())
        return std::nullopt;
    return TextFormat::other(name);
}

namespace {
// A declared charset as the format a page is written in: only one that writes ASCII as ASCII,
// so that the page can be read byte by byte (not UTF-16, UTF-32 ...).
TextFormat writableFormat(const std::optional<QByteArray> &name)
{
    const auto format = name ? formatForCharset(*name) : std::nullopt;
    if (!format || encodeText(u"<meta>", *format, Unmappable::QuestionMark).bytes != "<meta>")
        return TextEncoding::ShiftJis;
    return *format;
}
} // namespace

TextFormat pageFormat(QStringView html)
{
    TextFormat format = writableFormat(declaredPageCharset(html));
    if (format.encoding == TextEncoding::ShiftJis)
        return format; // a reader assumes it where it finds no declaration
    // The declaration is said where a reader of the bytes finds it: within their first 1,024. A
    // page whose text puts it further in is still UTF-8 by its byte order mark; in another
    // charset, which writes Japanese as densely as Shift_JIS, it is not found in those either.
    const QByteArray head = encodeText(html.first(std::min(html.size(), PagePrescanBytes)), format,
                                       Unmappable::CharacterReference).bytes;
    if (charsetName(pageFormat(QByteArrayView(head))) == charsetName(format))
        return format;
    if (format.encoding == TextEncoding::Utf8) {
        format.byteOrderMark = true;
        return format;
    }
    return TextEncoding::ShiftJis;
}

TextFormat pageFormat(QByteArrayView bytes)
{
    for (const TextEncoding e : {TextEncoding::Utf8, TextEncoding::Utf16LE, TextEncoding::Utf16BE})
        if (bytes.startsWith(byteOrderMark(e)))
            return e;
    return writableFormat(declaredPageCharset(bytes));
}

QByteArray charsetName(const TextFormat &format)
{
    switch (format.encoding) {
    case TextEncoding::ShiftJis:
        return "shift_jis";
    case TextEncoding::Utf8:
        return "utf-8";
    case TextEncoding::Utf16LE:
        return "utf-16le";
    case TextEncoding::Utf16BE:
        return "utf-16be";
    case TextEncoding::Other:
        break;
    }
    return format.otherName.toLower();
}

} // namespace qrn
