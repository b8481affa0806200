#pragma once

#include "TagTable.h"

#include <string>
#include <string_view>

namespace qrn {

// Japanese-tag text to HTML through the dictionary. Pure: never fails on any input.
std::u16string ToHtml(std::u16string_view text, const TagTable &table);
// The same into a buffer the caller keeps, so a refresh on every keystroke reuses its memory.
void ToHtml(std::u16string_view text, const TagTable &table, std::u16string &out);

// HTML to Japanese-tag text; words outside quoted values are folded to lower case first.
std::u16string ToJapaneseTags(std::u16string_view html, const TagTable &table);

// "A" to "Z" become "a" to "z"; every other code unit, full-width letters included, is unchanged.
constexpr char16_t LowerAsciiLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// The conversion module: owns the one dictionary of a run, which the converters read and only
// the user-defined tag editor changes.
class HenkanMod {
public:
    TagTable &tagTable() { return m_table; }
    const TagTable &tagTable() const { return m_table; }

    std::u16string ToHtml(std::u16string_view text) const { return qrn::ToHtml(text, m_table); }
    std::u16string ToJapaneseTags(std::u16string_view html) const { return qrn::ToJapaneseTags(html, m_table); }

private:
    TagTable m_table;
};

} // namespace qrn
