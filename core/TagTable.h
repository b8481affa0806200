#pragma once

#include "TagEntry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qrn {

// The in-memory dictionary: entries 0 to TagCount() inclusive, index 0 always the built-in
// "ページ" → "html" entry. Searches behave as a scan from index 0 upward where the first match
// wins; two hash indexes give that result without scanning.
class TagTable {
public:
    static constexpr std::int16_t MaxTagCount = 32767;

    TagTable();

    static TagEntry builtInEntry();

    // The highest valid index, not the number of entries.
    std::int16_t TagCount() const { return static_cast<std::int16_t>(m_entries.size() - 1); }
    const TagEntry &operator[](int index) const { return m_entries[static_cast<std::size_t>(index)]; }
    const std::vector<TagEntry> &entries() const { return m_entries; }

    // Appends one entry; false (overflow, table unchanged) when TagCount() is already MaxTagCount.
    bool AddTagEntry(std::u16string japaneseName, std::u16string htmlName, std::int16_t category,
                     std::u16string description);
    // Removes the first entry after the built-in one with that Japanese name; false when none
    // has it. Index 0 is never removed: the dictionary file does not carry it, and removing it
    // would promote the first file record into its place and lose that record at the next exit.
    bool DeleteTagEntry(std::u16string_view japaneseName);

    // Back to the built-in entry alone.
    void clear();

    // Lowest index whose JapaneseName equals the word exactly, or -1.
    int findJapaneseName(std::u16string_view word) const { return m_byJapanese.find(m_entries, word); }

    // The HTML word for a Japanese word: the first matching entry's HtmlName, or the word itself
    // when no entry matches or that HtmlName is empty.
    std::u16string_view LookupHtmlName(std::u16string_view word) const;
    // The mirror: the first entry whose HtmlName matches gives its JapaneseName.
    std::u16string_view LookupJapaneseName(std::u16string_view word) const;

private:
    // An open-addressing hash index from one name field to the lowest index holding it. The
    // converters look a word up at every separator, so this is on the keystroke path.
    class NameIndex {
    public:
        explicit NameIndex(std::u16string TagEntry::*field) : m_field(field) {}
        void clear(std::size_t expected);
        // Adds the entry unless a lower index already holds its name.
        void add(const std::vector<TagEntry> &entries, int index);
        int find(const std::vector<TagEntry> &entries, std::u16string_view word) const;

    private:
        struct Slot {
            std::uint32_t hash = 0;
            int index = -1; // -1: empty
        };
        static std::uint32_t hash(std::u16string_view s);
        void grow();

        std::u16string TagEntry::*m_field;
        std::vector<Slot> m_slots;
        std::size_t m_used = 0;
    };

    void rebuildIndexes();

    std::vector<TagEntry> m_entries;
    NameIndex m_byJapanese{&TagEntry::JapaneseName};
    NameIndex m_byHtml{&TagEntry::HtmlName};
};

} // namespace qrn
