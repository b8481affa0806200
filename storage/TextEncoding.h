#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace qrn {

// The encodings text files are read and written in. Shift_JIS is the system code page of the
// files the editor keeps; the others come from files read or pages that declare them. Other is
// any further encoding ICU knows, named in TextFormat.
enum class TextEncoding { ShiftJis, Utf8, Utf16LE, Utf16BE, Other };

// How the lines of a file end.
enum class LineEnd { CrLf, Lf };

// How a text file is written: its encoding, a byte-order mark, and its line ends.
struct TextFormat {
    TextEncoding encoding = TextEncoding::ShiftJis;
    QByteArray otherName; // the ICU converter name, for Other
    bool byteOrderMark = false;
    LineEnd lineEnd = LineEnd::CrLf;

    TextFormat() = default;
    TextFormat(TextEncoding e) : encoding(e) {} // NOLINT: an encoding alone is a format with CR LF
    static TextFormat other(QByteArray icuName)
    {
        TextFormat f(TextEncoding::Other);
        f.otherName = std::move(icuName);
        return f;
    }

    friend bool operator==(const TextFormat &, const TextFormat &) = default;
};

// The name the status bar shows: "Shift_JIS", "UTF-8", "UTF-16", or the other encoding's name.
QString encodingLabel(const TextFormat &format);

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
