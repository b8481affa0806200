#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace qrn {

// The encodings text files are read and written in. Shift_JIS is the system code page of the
// files the editor keeps; UTF-8 is offered by the command-line converter.
enum class TextEncoding { ShiftJis, Utf8 };

// What the encoder writes for a character the encoding cannot hold.
enum class Unmappable {
    QuestionMark,       // "?" — for text that is read back as Japanese tags
    CharacterReference, // "&#x1F600;" — for HTML, so the page loses nothing
};

struct EncodeResult {
    QByteArray bytes;
    qsizetype unmappableCount = 0;
    char32_t firstUnmappable = 0; // the first character replaced, when unmappableCount > 0
};

} // namespace qrn
