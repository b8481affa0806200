#include "TagPalette.h"

#include "PaletteCategories.h"

#include <core/TagTable.h>
#include <storage/ProgramFiles.h>
#include <storage/TextCodec.h>

#include <QDir>
#include <QListWidget>

namespace qrn {

TagPalette::TagPalette(QListWidget &categories, QListWidget &rows, const TagTable &table)
    : m_categories(categories), m_rows(rows), m_table(table)
{
}

void TagPalette::fillCategories()
{
    for (std::size_t i = 0; i < PaletteCategories.size(); ++i) {
        auto *item = new QListWidgetItem(QString::fromUtf16(PaletteCategories[i].text), &m_categories);
        item->setData(Qt::UserRole, int(i));
    }
}

const PaletteCategory *TagPalette::selectedCategory() const
{
    const QListWidgetItem *selected = m_categories.currentItem();
    if (!selected)
        return nullptr;
    bool ok = false;
    const int index = selected->data(Qt::UserRole).toInt(&ok);
    return ok && index >= 0 && std::size_t(index) < PaletteCategories.size() ? &PaletteCategories[index] : nullptr;
}

void TagPalette::refresh(const QString &workFolder)
{
    m_rows.clear();
    if (!workFolder.isEmpty() && QDir(workFolder).exists())
        m_listedFolder = workFolder;

    const PaletteCategory *category = selectedCategory();
    if (!category)
        return;
    if (!category->categoryNumber) {
        if (m_listedFolder.isEmpty())
            return;
        const QStringList files = QDir(m_listedFolder).entryList(QDir::Files, QDir::Name);
        for (const QString &name : files)
            if (name != ScratchFileName)
                m_rows.addItem(name);
        return;
    }
    const int count = m_table.TagCount();
    m_rows.setUpdatesEnabled(false);
    for (int i = 0; i <= count; ++i)
        GetKoumoku(*category->categoryNumber, static_cast<std::int16_t>(i));
    m_rows.setUpdatesEnabled(true);
    WrapInBrackets = category->wrapInBrackets;
}

void TagPalette::GetKoumoku(std::int16_t category, std::int16_t index)
{
    const TagEntry &entry = m_table[index];
    if (entry.Category == category)
        m_rows.addItem(fromU16(entry.JapaneseName));
}

std::optional<QString> TagPalette::descriptionOfSelectedRow() const
{
    const QListWidgetItem *row = m_rows.currentItem();
    const PaletteCategory *category = selectedCategory();
    if (!row || !category)
        return std::nullopt;
    if (!category->categoryNumber)
        return row->text();
    // Every entry with the name is visited, so the one with the highest index decides.
    const std::u16string_view name = toU16View(row->text());
    for (int i = m_table.TagCount(); i >= 0; --i)
        if (m_table[i].JapaneseName == name)
            return fromU16(m_table[i].Description);
    return std::nullopt;
}

std::optional<QString> TagPalette::insertionForSelectedRow() const
{
    const QListWidgetItem *row = m_rows.currentItem();
    const PaletteCategory *category = selectedCategory();
    if (!row || !category)
        return std::nullopt;
    const QString t = row->text();
    if (!category->categoryNumber)
        return t;
    if (m_table.findJapaneseName(toU16View(t)) < 0)
        return std::nullopt; // a row whose entry was deleted inserts nothing
    return WrapInBrackets ? QStringLiteral("＜") + t + QStringLiteral("＞") : t;
}

} // namespace qrn
