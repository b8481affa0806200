#pragma once

#include "TagTable.h"
#include "TagWalk.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qrn {

enum class TagSpanKind : std::uint8_t {
    PageText,  // copied to the page as it stands
    TagOpen,   // "＜" or "<"
    TagClose,  // "＞" or ">"
    Separator, // ASCII or ideographic space inside a tag
    Equals,    // "＝" or "=" inside a tag
    Quote,     // "「", "」" or '"' inside a tag
    Word,      // a word inside a tag, or one piece of a word split by "（", "＜" or a line end
    Escape,    // either character of "（【" "（[" "（】" "（]" "（（"
    Dropped,   // writes nothing: "（" inside a tag, or a "（" pending at the end of the text
};

enum class WordRole : std::uint8_t { TagName, AttributeName, Value };

enum class WordStatus : std::uint8_t {
    Known,        // the dictionary has the word: ToHtml translates it
    Unknown,      // not in the dictionary and holds a non-ASCII character: most likely a typo
    AsciiUnknown, // not in the dictionary, ASCII only: plain HTML passing through on purpose
    Unfinished,   // runs on past the text scanned, and a dictionary word could still match it
};

struct TagSpan {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
    TagSpanKind kind = TagSpanKind::PageText;
    WordRole role = WordRole::TagName;        // words only
    WordStatus status = WordStatus::Unknown;  // words only

    friend bool operator==(const TagSpan &, const TagSpan &) = default;
};

// A word as ToHtml looks it up: its text (pieces joined, line ends included) and where its pieces
// stand among the spans of the same scan.
struct TagWord {
    std::u16string text;
    WordStatus status = WordStatus::Unknown;
    WordRole role = WordRole::TagName;
    std::uint32_t firstSpan = 0; // index of its first piece's span; the pieces' spans follow
    std::uint32_t spanCount = 0; // (other spans may stand between pieces)
};

// Everything a line-by-line scan carries from one line to the next.
struct TagScanState {
    TagWalkState walk;
    bool inQuotes = false;
    WordRole nextRole = WordRole::TagName;
    WordRole wordRole = WordRole::TagName;
    std::u16string word; // the word running on from earlier lines, their line ends included

    friend bool operator==(const TagScanState &, const TagScanState &) = default;
};

// Splits Japanese-tag text into spans the way ToHtml reads it, with each word inside a tag checked
// against the dictionary. Spans come in the order ToHtml writes their output; sorted by start they
// cover the text scanned exactly once.
class TagScanner {
public:
    explicit TagScanner(const TagTable &table);

    // The whole text at once: every word's status is final, as ToHtml would decide it.
    void scan(std::u16string_view text, std::vector<TagSpan> &spans, std::vector<TagWord> *words = nullptr) const;

    // One line of a text whose lines are joined by CR LF, given the state at the line's start;
    // `state` becomes the state at the start of the next line. The last line has no line end
    // after it; there `state` is left as the walk ends, its open word dropped. Offsets are within
    // the line. A word still open at the end of a line runs on into the next one with the line
    // end in it; its piece here is Unknown or AsciiUnknown unless a dictionary word begins with
    // its text so far (then Unfinished).
    void scanLine(std::u16string_view line, TagScanState &state, bool lastLine, std::vector<TagSpan> &spans,
                  std::vector<TagWord> *words = nullptr) const;

    const TagTable &table() const { return m_table; }

private:
    bool someNameBeginsWith(std::u16string_view prefix) const;

    const TagTable &m_table;
    // Dictionary words holding a line end: only these can match a word that runs over a line.
    std::vector<std::u16string> m_namesWithLineEnds;
};

} // namespace qrn
