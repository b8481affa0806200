#include "ShiftJisCodec.h"

#include <cstdint>

namespace qrn {

namespace {
#include "ShiftJisTables.inc"

constexpr char16_t NoChar = 0xFFFF;       // decode: not a single-byte character
constexpr std::uint16_t NoBytes = 0xFFFF; // encode: no Shift_JIS form
constexpr char16_t Replacement = 0xFFFD;

bool isLeadByte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isTrailByte(unsigned b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
} // namespace

// The tables are generated at build time from ICU's mapping; a process pays nothing to set them up.
struct ShiftJisCodec::Tables {
    const std::uint16_t *single = ShiftJisSingle;           // byte → character, NoChar when none
    const std::uint16_t *pair = ShiftJisPair;               // (lead << 8 | trail) → character, U+FFFD when none
    const std::uint16_t *fromUnicode = ShiftJisFromUnicode; // character → one byte (< 0x100) or two bytes
    bool lead[256] = {};                                    // byte starts a two-byte character

    Tables()
    {
        for (unsigned b = 0; b < 256; ++b)
            lead[b] = isLeadByte(b);
    }
};

const ShiftJisCodec::Tables &ShiftJisCodec::tables()
{
    static const Tables t;
    return t;
}

QString ShiftJisCodec::decode(QByteArrayView bytes)
{
    qsizetype bad = 0, first = -1;
    return decode(bytes, bad, first);
}

QString ShiftJisCodec::decode(QByteArrayView bytes, qsizetype &badBytes, qsizetype &firstBadOffset)
{
    const Tables &t = tables();
    badBytes = 0;
    firstBadOffset = -1;
    const auto bad = [&](const unsigned char *at, qsizetype count) {
        if (badBytes == 0)
            firstBadOffset = at - reinterpret_cast<const unsigned char *>(bytes.data());
        badBytes += count;
    };
    QString out(bytes.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    while (p < end) {
        const unsigned b = *p++;
        if (b < 0x80) {
            *dst++ = t.single[b];
        } else if (!t.lead[b]) {
            const char16_t c = t.single[b];
            if (c == NoChar)
                bad(p - 1, 1);
            *dst++ = c == NoChar ? Replacement : c;
        } else if (p < end && isTrailByte(*p)) {
            const char16_t c = t.pair[b << 8 | *p];
            if (c == Replacement)
                bad(p - 1, 2);
            *dst++ = c;
            ++p;
        } else {
            bad(p - 1, 1);
            *dst++ = Replacement; // a lead byte without a valid trail byte
        }
    }
    out.resize(dst - reinterpret_cast<char16_t *>(out.data()));
    // Two-byte characters leave part of the buffer unused: give it back for large texts.
    if (out.capacity() > 4096 && out.size() < out.capacity() * 3 / 4)
        out.squeeze();
    return out;
}

EncodeResult ShiftJisCodec::encode(QStringView text, Unmappable policy)
{
    EncodeResult result;
    encodeInto(text, policy, result);
    return result;
}

void ShiftJisCodec::encodeInto(QStringView text, Unmappable policy, EncodeResult &result, QByteArrayView suffix)
{
    const Tables &t = tables();
    result.unmappableCount = 0;
    result.firstUnmappable = 0;
    QByteArray &out = result.bytes;
    out.resize(text.size() * 2 + suffix.size());
    char *dst = out.data();
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();

    while (p < end) {
        const char16_t c = *p;
        const std::uint16_t code = t.fromUnicode[c];
        if (code != NoBytes) {
            // Both bytes are stored; the pointer moves by one for a single-byte character.
            const bool two = code >= 0x100;
            dst[0] = static_cast<char>(two ? code >> 8 : code);
            dst[1] = static_cast<char>(code & 0xFF);
            dst += 1 + two;
            ++p;
            continue;
        }
        // No Shift_JIS form: one replacement per character, a surrogate pair counting as one.
        char32_t ch = c;
        if (QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1])) {
            ch = QChar::surrogateToUcs4(c, p[1]);
            p += 2;
        } else {
            ++p;
        }
        if (result.unmappableCount++ == 0)
            result.firstUnmappable = ch;
        const qsizetype used = dst - out.data();
        if (policy == Unmappable::QuestionMark) {
            *dst++ = '?';
        } else {
            const QByteArray ref = "&#x" + QByteArray::number(static_cast<uint>(ch), 16).toUpper() + ';';
            // A reference is longer than the two bytes per code unit reserved: grow when needed.
            const qsizetype needed = used + ref.size() + (end - p) * 2 + suffix.size();
            if (needed > out.size())
                out.resize(needed);
            dst = out.data() + used;
            dst = std::copy(ref.begin(), ref.end(), dst);
        }
    }
    dst = std::copy(suffix.begin(), suffix.end(), dst);
    out.resize(dst - out.data());
}

bool ShiftJisCodec::canEncode(QStringView text)
{
    const Tables &t = tables();
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x80 && t.fromUnicode[c] == NoBytes)
            return false;
    }
    return true;
}

} // namespace qrn
