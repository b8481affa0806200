#pragma once

#include "TagTable.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qrn {

// The end marker of the dictionary file, recognised in the first field of a record only.
inline constexpr std::u16string_view EndTagMarker = u"EndTagCom";

// What reading a dictionary text found besides the records it added.
struct TagFileReadResult {
    int added = 0;              // records added to the table
    // Records the table had no room for, as read. They are not in use, but they are written back
    // after the table's records so that no record of the file is ever lost.
    std::vector<TagEntry> notLoaded;
    bool markerFound = false;   // false: the text ended first (truncated); a partial last record was dropped
};

// Adds the records of a decoded dictionary text to the table, after the entries it holds.
// Fields end at a comma or a line end; blanks (spaces, tabs) before a field are skipped; a field
// opening with a double quote runs to the next one. Reading stops at "EndTagCom" or at the end.
TagFileReadResult ReadTagFileText(std::u16string_view text, TagTable &table);

// The single line the dictionary file holds, without its CR LF: entries 1 to TagCount, then the
// extra records, every field followed by a comma, then "EndTagCom". Index 0, the built-in entry,
// is never written.
std::u16string WriteTagFileText(const TagTable &table, std::span<const TagEntry> extra = {});
std::u16string WriteTagFileText(std::span<const TagEntry> records);

// The records the file holds for a table: entries 1 to TagCount, then those it could not hold.
std::vector<TagEntry> TagFileRecords(const TagTable &table, std::span<const TagEntry> notLoaded = {});

// Applies one run's changes to a dictionary another run wrote meanwhile: the records `mine` lacks
// against `base` (what this run read) are removed from `theirs` (each by its first equal record),
// and the records `mine` added are appended, in their order.
std::vector<TagEntry> MergeTagRecords(std::span<const TagEntry> base, std::span<const TagEntry> mine,
                                      std::vector<TagEntry> theirs);

// A Category field as a 16-bit value: an optional sign, ASCII digits and an optional fraction,
// rounded half to even, then checked against the range; blanks around it are ignored. Empty text
// is 0; anything else, or a value out of range, has no value.
std::optional<std::int16_t> ParseCategoryField(std::u16string_view field);

// What keeps the dictionary file from carrying a text field unchanged. The file is written without
// quoting, so the reader splits a field at a comma or a line end, skips blanks before it, takes a
// double quote at its start as an opening quote, and stops at a record whose first field is the
// end marker.
enum class TagFieldProblem { None, Comma, LineEnd, LeadingBlank, LeadingQuote, EndMarker };

// The first problem a field has; `opensRecord`: the field is a Japanese name, the only place where
// the end marker counts.
TagFieldProblem TagFileFieldProblem(std::u16string_view field, bool opensRecord);

// True when the file gives the field back unchanged; by default in any place of a record.
bool TagFileCanCarry(std::u16string_view field, bool opensRecord = true);
// True when the file gives the record back unchanged.
bool TagFileCanCarry(const TagEntry &record);

} // namespace qrn
