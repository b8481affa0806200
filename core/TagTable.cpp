#include "TagTable.h"

#include <cstring>

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
    // try_emplace keeps an existing key, so each index keeps the lowest index of a name.
    m_byJapanese.try_emplace(japaneseName, index);
    m_byHtml.try_emplace(htmlName, index);
    m_entries.push_back({std::move(japaneseName), std::move(htmlName), category, std::move(description)});
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
    const int i = find(m_byJapanese, word);
    if (i < 0 || m_entries[static_cast<std::size_t>(i)].HtmlName.empty())
        return word;
    return m_entries[static_cast<std::size_t>(i)].HtmlName;
}

std::u16string_view TagTable::LookupJapaneseName(std::u16string_view word) const
{
    const int i = find(m_byHtml, word);
    if (i < 0 || m_entries[static_cast<std::size_t>(i)].JapaneseName.empty())
        return word;
    return m_entries[static_cast<std::size_t>(i)].JapaneseName;
}

int TagTable::find(const NameIndex &index, std::u16string_view word)
{
    const auto it = index.find(word);
    return it == index.end() ? -1 : it->second;
}

void TagTable::rebuildIndexes()
{
    m_byJapanese.clear();
    m_byHtml.clear();
    m_byJapanese.reserve(m_entries.size());
    m_byHtml.reserve(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        m_byJapanese.try_emplace(m_entries[i].JapaneseName, static_cast<int>(i));
        m_byHtml.try_emplace(m_entries[i].HtmlName, static_cast<int>(i));
    }
}

// FNV-1a over the code units: words are short, so a simple byte-free loop beats a general hash.
std::size_t TagTable::ViewHash::operator()(std::u16string_view s) const noexcept
{
    std::uint64_t h = 1469598103934665603ull;
    for (char16_t c : s) {
        h ^= static_cast<std::uint64_t>(c);
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h ^ (h >> 29));
}

} // namespace qrn
