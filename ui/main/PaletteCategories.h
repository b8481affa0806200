#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace qrn {

// A row of the category list: its text, the Category value it lists (none: the work folder's
// files) and whether a double-clicked row is inserted in ＜ ＞.
struct PaletteCategory {
    const char16_t *text;
    std::optional<std::int16_t> categoryNumber;
    bool wrapInBrackets;
};

inline const std::array<PaletteCategory, 9> PaletteCategories{{
    {u"作業フォルダ", std::nullopt, false},
    {u"基本タグ", 0, true},
    {u"デザイン", 1, true},
    {u"テーブル", 2, true},
    {u"フレーム", 3, true},
    {u"メディア", 4, true},
    {u"その他・分類不能", 5, true},
    {u"色", 6, false},
    {u"ユーザー定義", 8, true},
}};

} // namespace qrn
