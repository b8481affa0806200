#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QListWidget;

namespace qrn {

struct PaletteCategory;
class TagTable;

// The category list and the tag palette beside the editor: which rows a category lists, what
// the status bar says of a row, and what a double-click inserts.
class TagPalette {
public:
    TagPalette(QListWidget &categories, QListWidget &rows, const TagTable &table);

    // The nine categories; each row carries its category as item data.
    void fillCategories();

    // Lists the selected category's entries, or the work folder's files. A work folder that is
    // gone keeps the listing of the last one that existed.
    void refresh(const QString &workFolder);
    // Adds the entry at the index as a row when it belongs to the category.
    void GetKoumoku(std::int16_t category, std::int16_t index);

    // The status-bar line for the selected row.
    std::optional<QString> descriptionOfSelectedRow() const;
    // What a double-click on the selected row inserts; nothing for a row whose entry is gone.
    std::optional<QString> insertionForSelectedRow() const;

    // Whether the last category listed inserts its words in ＜ ＞.
    bool WrapInBrackets = false;

private:
    const PaletteCategory *selectedCategory() const;

    QListWidget &m_categories;
    QListWidget &m_rows;
    const TagTable &m_table;
    QString m_listedFolder;
};

} // namespace qrn
