#pragma once

#include <cstdint>
#include <string>

namespace qrn {

// One dictionary record: a Japanese word, the HTML word it stands for, its palette category
// and the line the status bar shows for it.
struct TagEntry {
    std::u16string JapaneseName;
    std::u16string HtmlName;
    std::int16_t Category = 0;
    std::u16string Description;

    friend bool operator==(const TagEntry &, const TagEntry &) = default;
};

} // namespace qrn
