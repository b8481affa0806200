#include "TextDetection.h"

#include "IcuCodec.h"
#include "TextCodec.h"


namespace qrn {

namespace {
constexpr qsizetype DeclarationWindow = 1024;

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
        // The declaration is ASCII in every encoding a page may declare here.
        const QString head = QString::fromLatin1(bytes.first(std::min(bytes.size(), DeclarationWindow)));
        if (const auto name = declaredCharset(head)) {
            if (const auto format = formatForCharset(*name)) {
                DetectedText d = decodeAs(bytes, *format);
                if (d.badBytes == 0)
                    return d;
            }
        }
    }
    return decodeDetected(bytes);
}

std::optional<QByteArray> declaredCharset(QStringView head)
{
    // A plain scan rather than a regular expression: it runs for every preview refresh, and a
    // compiled pattern would cost every qrn-convert run its start-up.
    head = head.first(std::min(head.size(), DeclarationWindow));
    const auto isNameChar = [](QChar c) {
        return c.isLetterOrNumber() && c.unicode() < 0x80 ? true : QStringView(u"_.:-").contains(c);
    };
    for (qsizetype meta = head.indexOf(u"<meta", 0, Qt::CaseInsensitive); meta >= 0;
         meta = head.indexOf(u"<meta", meta + 5, Qt::CaseInsensitive)) {
        if (meta + 5 < head.size() && isNameChar(head[meta + 5]))
            continue; // <metadata> and the like
        qsizetype end = head.indexOf(u'>', meta);
        if (end < 0)
            end = head.size();
        const QStringView tag = head.sliced(meta, end - meta);
        const qsizetype charset = tag.indexOf(u"charset", 0, Qt::CaseInsensitive);
        if (charset < 0)
            continue;
        qsizetype i = charset + 7;
        const auto skipBlanks = [&] {
            while (i < tag.size() && tag[i].isSpace())
                ++i;
        };
        skipBlanks();
        if (i >= tag.size() || tag[i] != u'=')
            continue;
        ++i;
        skipBlanks();
        if (i < tag.size() && (tag[i] == u'"' || tag[i] == u'\''))
            ++i;
        skipBlanks();
        const qsizetype start = i;
        while (i < tag.size() && isNameChar(tag[i]))
            ++i;
        if (i > start)
            return tag.sliced(start, i - start).toLatin1();
    }
    return std::nullopt;
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

TextFormat pageFormat(QStringView html)
{
    const auto name = declaredCharset(html);
    if (!name)
        return TextEncoding::ShiftJis;
    const auto format = formatForCharset(*name);
    // A page is written in an 8-bit encoding that its declaration can be read in.
    if (!format || format->encoding == TextEncoding::Utf16LE || format->encoding == TextEncoding::Utf16BE)
        return TextEncoding::ShiftJis;
    return *format;
}

} // namespace qrn
