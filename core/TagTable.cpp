#include "TagTable.h"


namespace qrn {

TagTable::TagTable()
{
    clear();
}

TagEntry TagTable::builtInEntry()
{
    return {u"ページ", u"html", 0, u"＜ページ＞ | HTMLを書きこむ | <html>"};
}

void TagTable::clear()
{
    m_entries.clear();
    m_entries.push_back(builtInEntry());
    rebuildIndexes();
}

bool TagTable::AddTagEntry(std::u16string japaneseName, std::u16string htmlName, std::int16_t category,
                           std::u16string description)
{
    if (TagCount() >= MaxTagCount)
        return false;
    const int index = static_cast<int>(m_entries.size());
    m_entries.push_back({std::move(japaneseName), std::move(htmlName), category, std::move(description)});
    m_byJapanese.add(m_entries, index);
    m_byHtml.add(m_entries, index);
    return true;
}

bool TagTable::DeleteTagEntry(std::u16string_view japaneseName)
{
    for (std::size_t i = 1; i < m_entries.size(); ++i) {
        if (m_entries[i].JapaneseName == japaneseName) {
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            rebuildIndexes(); // every later index moved down by one
            return true;
        }
    }
    return false;
}

std::u16string_view TagTable::LookupHtmlName(std::u16string_view word) const
{
    const int i = m_byJapanese.find(m_entries, word);
    if (i < 0 || m_entries[static_cast<std::size_t>(i)].HtmlName.empty())
        return word;
    return m_entries[static_cast<std::size_t>(i)].HtmlName;
}

std::u16string_view TagTable::LookupJapaneseName(std::u16string_view word) const
{
    const int i = m_byHtml.find(m_entries, word);
    if (i < 0 || m_entries[static_cast<std::size_t>(i)].JapaneseName.empty())
        return word;
    return m_entries[static_cast<std::size_t>(i)].JapaneseName;
}

void TagTable::rebuildIndexes()
{
    m_byJapanese.clear(m_entries.size());
    m_byHtml.clear(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        m_byJapanese.add(m_entries, static_cast<int>(i));
        m_byHtml.add(m_entries, static_cast<int>(i));
    }
}

// FNV-1a over the code units, folded to 32 bits: words are short.
std::uint32_t TagTable::NameIndex::hash(std::u16string_view s)
{
    std::uint64_t h = 1469598103934665603ull;
    for (char16_t c : s) {
        h ^= static_cast<std::uint64_t>(c);
        h *= 1099511628211ull;
    }
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

void TagTable::NameIndex::clear(std::size_t expected)
{
    std::size_t capacity = 16;
    while (capacity < expected * 2)
        capacity *= 2;
    m_slots.assign(capacity, Slot{});
    m_used = 0;
}

int TagTable::NameIndex::find(const std::vector<TagEntry> &entries, std::u16string_view word) const
{
    const std::uint32_t h = hash(word);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = h & mask;; i = (i + 1) & mask) {
        const Slot &slot = m_slots[i];
        if (slot.index < 0)
            return -1;
        if (slot.hash == h && entries[static_cast<std::size_t>(slot.index)].*m_field == word)
            return slot.index;
    }
}

void TagTable::NameIndex::add(const std::vector<TagEntry> &entries, int index)
{
    const std::u16string &name = entries[static_cast<std::size_t>(index)].*m_field;
    if (find(entries, name) >= 0)
        return; // entries are added in index order, so the one already there is the lowest
    if ((m_used + 1) * 2 > m_slots.size())
        grow();
    const std::uint32_t h = hash(name);
    const std::size_t mask = m_slots.size() - 1;
    std::size_t i = h & mask;
    while (m_slots[i].index >= 0)
        i = (i + 1) & mask;
    m_slots[i] = {h, index};
    ++m_used;
}

void TagTable::NameIndex::grow()
{
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(old.size() * 2, Slot{});
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &slot : old) {
        if (slot.index < 0)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].index >= 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

} // namespace qrn
