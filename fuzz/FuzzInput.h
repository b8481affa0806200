#pragma once

#include <core/TagTable.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qrn::fuzz {

// The fuzzer's bytes as UTF-16 code units, two bytes each (lone surrogates included).
inline std::u16string unitsFromBytes(const std::uint8_t *data, std::size_t size)
{
    std::u16string s(size / 2, u'\0');
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    return s;
}

// A dictionary whose words occur in typical input, with the awkward cases: an empty name on
// either side, duplicates, and an empty HTML name.
inline const TagTable &fuzzTable()
{
    static const TagTable table = [] {
        TagTable t;
        t.AddTagEntry(u"全体", u"body", 0, u"");
        t.AddTagEntry(u"全体", u"BODY", 0, u"");
        t.AddTagEntry(u"白", u"white", 6, u"");
        t.AddTagEntry(u"", u"empty", 0, u"");
        t.AddTagEntry(u"空", u"", 0, u"");
        t.AddTagEntry(u"a", u"b", 0, u"");
        return t;
    }();
    return table;
}

} // namespace qrn::fuzz
