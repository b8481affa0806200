#include "ShiftJisCodec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <array>
#include <memory>
#include <vector>

namespace qrn {

namespace {
constexpr char16_t NoChar = 0xFFFF;     // decode: not a single-byte character
constexpr std::uint16_t NoBytes = 0xFFFF; // encode: no Shift_JIS form
constexpr char16_t Replacement = 0xFFFD;

bool isTrailByte(unsigned b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
} // namespace

struct ShiftJisCodec::Tables {
    std::array<char16_t, 256> single{};     // byte → character, NoChar when none
    std::array<bool, 256> lead{};           // byte starts a two-byte character
    std::vector<char16_t> pair;             // (lead << 8 | trail) → character, U+FFFD when none
    std::vector<std::uint16_t> fromUnicode; // character → one byte (< 0x100) or two bytes
};

const ShiftJisCodec::Tables &ShiftJisCodec::tables()
{
    static const std::unique_ptr<const Tables> built = [] {
        auto t = std::make_unique<Tables>();
        t->single.fill(NoChar);
        t->pair.assign(65536, Replacement);
        t->fromUnicode.assign(65536, NoBytes);

        UErrorCode status = U_ZERO_ERROR;
        UConverter *cnv = ucnv_open("windows-31j", &status);
        if (U_FAILURE(status) || !cnv)
            qFatal("Shift_JIS converter unavailable: %s", u_errorName(status));
        // Stop on anything unmapped instead of substituting, so the tables hold real mappings only.
        ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        ucnv_setFromUCallBack(cnv, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);

        const auto toUnicode = [&](const char *bytes, int length) -> char16_t {
            UChar out[4];
            UErrorCode err = U_ZERO_ERROR;
            ucnv_reset(cnv);
            const int n = ucnv_toUChars(cnv, out, 4, bytes, length, &err);
            return (U_SUCCESS(err) && n == 1) ? static_cast<char16_t>(out[0]) : NoChar;
        };

        for (unsigned b = 0; b < 256; ++b) {
            t->lead[b] = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
            if (t->lead[b])
                continue;
            const char byte = static_cast<char>(b);
            t->single[b] = toUnicode(&byte, 1);
        }
        for (unsigned lead = 0; lead < 256; ++lead) {
            if (!t->lead[lead])
                continue;
            for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
                if (!isTrailByte(trail))
                    continue;
                const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                const char16_t c = toUnicode(bytes, 2);
                if (c != NoChar)
                    t->pair[lead << 8 | trail] = c;
            }
        }
        for (unsigned u = 0; u < 65536; ++u) {
            if (u >= 0xD800 && u <= 0xDFFF)
                continue;
            const UChar in = static_cast<UChar>(u);
            char out[4];
            UErrorCode err = U_ZERO_ERROR;
            ucnv_reset(cnv);
            const int n = ucnv_fromUChars(cnv, out, 4, &in, 1, &err);
            if (U_FAILURE(err))
                continue;
            // ICU also maps some characters one way only (U+F86F to the bytes of "№"): a
            // character counts as representable only when its bytes read back as itself.
            if (n == 1 && t->single[static_cast<unsigned char>(out[0])] == u)
                t->fromUnicode[u] = static_cast<unsigned char>(out[0]);
            else if (n == 2) {
                const auto code = static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) << 8
                                                             | static_cast<unsigned char>(out[1]));
                if (t->pair[code] == u)
                    t->fromUnicode[u] = code;
            }
        }
        ucnv_close(cnv);
        return std::unique_ptr<const Tables>(std::move(t));
    }();
    return *built;
}

QString ShiftJisCodec::decode(QByteArrayView bytes)
{
    const Tables &t = tables();
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
            *dst++ = c == NoChar ? Replacement : c;
        } else if (p < end && isTrailByte(*p)) {
            *dst++ = t.pair[b << 8 | *p++];
        } else {
            *dst++ = Replacement; // a lead byte without a valid trail byte
        }
    }
    out.resize(dst - reinterpret_cast<char16_t *>(out.data()));
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
