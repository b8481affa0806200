#pragma once

#include "TagTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qrn {

// The end marker of the dictionary file, recognised in the first field of a record only.
inline constexpr std::u16string_view EndTagMarker = u"EndTagCom";

// What reading a dictionary text found besides the records it added.
struct TagFileReadResult {
    int added = 0;              // records added to the table
    int skippedAtCapacity = 0;  // records dropped because the table was full
    bool markerFound = false;   // false: the text ended first (truncated); a partial last record was dropped
};

// Adds the records of a decoded dictionary text to the table, after the entries it holds.
// Fields end at a comma or a line end; blanks (spaces, tabs) before a field are skipped; a field
// opening with a double quote runs to the next one. Reading stops at "EndTagCom" or at the end.
TagFileReadResult ReadTagFileText(std::u16string_view text, TagTable &table);

// The single line the dictionary file holds, without its CR LF: entries 1 to TagCount, every field
// followed by a comma, then "EndTagCom". Index 0, the built-in entry, is never written.
std::u16string WriteTagFileText(const TagTable &table);

// A Category field as a 16-bit value: an optional sign, ASCII digits and an optional fraction,
// rounded half to even, then checked against the range. Empty text is 0; anything else, or a
// value out of range, has no value.
std::optional<std::int16_t> ParseCategoryField(std::u16string_view field);

} // namespace qrn
