#include "IcuCodec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>

#include <memory>

namespace qrn {

namespace {
struct ConverterCloser {
    void operator()(UConverter *c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter open(const QByteArray &name)
{
    UErrorCode status = U_ZERO_ERROR;
    Converter c(ucnv_open(name.constData(), &status));
    return U_SUCCESS(status) ? std::move(c) : Converter();
}

// Counts the characters the converter cannot write, then writes a reference or "?" for each.
struct FromUnicodeCount {
    Unmappable policy;
    qsizetype count = 0;
    char32_t first = 0;
};

void countingFromUnicode(const void *context, UConverterFromUnicodeArgs *args, const UChar *units, int32_t length,
                         UChar32 codePoint, UConverterCallbackReason reason, UErrorCode *err)
{
    if (reason > UCNV_IRREGULAR)
        return; // reset, close, clone: nothing to count
    auto *state = static_cast<FromUnicodeCount *>(const_cast<void *>(context));
    if (state->count++ == 0)
        state->first = static_cast<char32_t>(codePoint);
    if (state->policy == Unmappable::CharacterReference) {
        char ref[16];
        const int n = std::snprintf(ref, sizeof ref, "&#x%X;", static_cast<unsigned>(codePoint));
        *err = U_ZERO_ERROR;
        ucnv_cbFromUWriteBytes(args, ref, n, 0, err);
    } else {
        *err = U_ZERO_ERROR;
        ucnv_cbFromUWriteBytes(args, "?", 1, 0, err);
    }
    Q_UNUSED(units);
    Q_UNUSED(length);
}

struct ToUnicodeCount {
    qsizetype bad = 0;
    qsizetype firstOffset = -1;
    const char *start = nullptr;
};

void countingToUnicode(const void *context, UConverterToUnicodeArgs *args, const char *bytes, int32_t length,
                       UConverterCallbackReason reason, UErrorCode *err)
{
    if (reason > UCNV_IRREGULAR)
        return;
    auto *state = static_cast<ToUnicodeCount *>(const_cast<void *>(context));
    if (state->bad == 0)
        state->firstOffset = bytes - state->start;
    state->bad += length;
    *err = U_ZERO_ERROR;
    const UChar replacement = 0xFFFD;
    ucnv_cbToUWriteUChars(args, &replacement, 1, 0, err);
}
} // namespace

QByteArray IcuCodec::canonicalName(const QByteArray &name)
{
    const Converter c = open(name);
    if (!c)
        return {};
    UErrorCode status = U_ZERO_ERROR;
    const char *n = ucnv_getName(c.get(), &status);
    return U_SUCCESS(status) ? QByteArray(n) : QByteArray();
}

DecodeResult IcuCodec::decode(QByteArrayView bytes, const QByteArray &name)
{
    DecodeResult result;
    const Converter c = open(name);
    if (!c) {
        result.badBytes = bytes.size();
        result.firstBadOffset = bytes.isEmpty() ? -1 : 0;
        result.text = QString(bytes.size(), QChar(0xFFFD));
        return result;
    }
    ToUnicodeCount state;
    state.start = bytes.data();
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(c.get(), countingToUnicode, &state, nullptr, nullptr, &status);
    result.text.resize(bytes.size() + 16);
    auto *dst = reinterpret_cast<UChar *>(result.text.data());
    const char *src = bytes.data();
    const int32_t n = ucnv_toUChars(c.get(), dst, static_cast<int32_t>(result.text.size()), src,
                                    static_cast<int32_t>(bytes.size()), &status);
    result.text.resize(U_SUCCESS(status) ? n : 0);
    result.badBytes = state.bad;
    result.firstBadOffset = state.firstOffset;
    return result;
}

EncodeResult IcuCodec::encode(QStringView text, const QByteArray &name, Unmappable policy)
{
    EncodeResult result;
    const Converter c = open(name);
    FromUnicodeCount state{policy};
    if (!c) {
        result.unmappableCount = text.size();
        return result;
    }
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(c.get(), countingFromUnicode, &state, nullptr, nullptr, &status);
    const auto *src = reinterpret_cast<const UChar *>(text.utf16());
    const int32_t needed = ucnv_fromUChars(c.get(), nullptr, 0, src, static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        state = FromUnicodeCount{policy};
        result.bytes.resize(needed);
        ucnv_fromUChars(c.get(), result.bytes.data(), needed, src, static_cast<int32_t>(text.size()), &status);
    }
    result.unmappableCount = state.count;
    result.firstUnmappable = state.first;
    return result;
}

} // namespace qrn
