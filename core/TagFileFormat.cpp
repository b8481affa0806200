#include "TagFileFormat.h"

#include <deque>
#include <limits>
#include <unordered_map>

namespace qrn {
namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool isLineEnd(char16_t c) { return c == u'\r' || c == u'\n'; }

// Reads fields one at a time from a dictionary text.
class FieldReader {
public:
    explicit FieldReader(std::u16string_view text) : m_text(text) {}

    // The next field, or nothing at the end of the text.
    std::optional<std::u16string> next()
    {
        skipBlanksAndEmptyLines();
        if (m_pos >= m_text.size())
            return std::nullopt;

        std::u16string value;
        if (m_text[m_pos] == u'"') {
            const std::size_t close = m_text.find(u'"', m_pos + 1);
            if (close == std::u16string_view::npos) { // unclosed: runs to the end of the text
                value.assign(m_text.substr(m_pos + 1));
                m_pos = m_text.size();
                return value;
            }
            value.assign(m_text.substr(m_pos + 1, close - m_pos - 1));
            m_pos = close + 1;
            // What follows the closing quote up to the separator is dropped.
            while (m_pos < m_text.size() && m_text[m_pos] != u',' && !isLineEnd(m_text[m_pos]))
                ++m_pos;
        } else {
            const std::size_t start = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] != u',' && !isLineEnd(m_text[m_pos]))
                ++m_pos;
            value.assign(m_text.substr(start, m_pos - start)); // trailing blanks stay
        }
        consumeSeparator();
        return value;
    }

private:
    void consumeSeparator()
    {
        if (m_pos >= m_text.size())
            return;
        if (m_text[m_pos] == u',') {
            ++m_pos;
            // A line end directly after the comma belongs to that same separator.
            consumeLineEnd();
        } else {
            consumeLineEnd();
        }
    }

    void consumeLineEnd()
    {
        if (m_pos < m_text.size() && m_text[m_pos] == u'\r')
            ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == u'\n')
            ++m_pos;
    }

    // Blanks before a field are skipped, and so are lines holding nothing but blanks.
    void skipBlanksAndEmptyLines()
    {
        while (m_pos < m_text.size()) {
            if (isBlank(m_text[m_pos]))
                ++m_pos;
            else if (isLineEnd(m_text[m_pos]))
                consumeLineEnd();
            else
                break;
        }
    }

    std::u16string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace

std::optional<std::int16_t> ParseCategoryField(std::u16string_view field)
{
    // Blanks around the number belong to no number: a hand-edited "8 " is 8.
    while (!field.empty() && isBlank(field.front()))
        field.remove_prefix(1);
    while (!field.empty() && isBlank(field.back()))
        field.remove_suffix(1);
    if (field.empty())
        return std::int16_t{0};

    std::size_t i = 0;
    bool negative = false;
    if (field[i] == u'+' || field[i] == u'-') {
        negative = field[i] == u'-';
        ++i;
    }
    const auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    if (i >= field.size() || !isDigit(field[i]))
        return std::nullopt;

    // The integer part, saturated well above the 16-bit range.
    long magnitude = 0;
    for (; i < field.size() && isDigit(field[i]); ++i)
        magnitude = std::min(magnitude * 10 + (field[i] - u'0'), 1000000L);

    if (i < field.size()) {
        if (field[i] != u'.')
            return std::nullopt;
        ++i;
        const std::size_t fractionStart = i;
        for (; i < field.size(); ++i)
            if (!isDigit(field[i]))
                return std::nullopt;
        // Round half to even by comparing the fraction's digits with one half.
        const std::u16string_view fraction = field.substr(fractionStart);
        if (!fraction.empty()) {
            const bool aboveHalf = fraction[0] > u'5'
                                   || (fraction[0] == u'5' && fraction.find_first_not_of(u'0', 1) != std::u16string_view::npos);
            const bool exactlyHalf = fraction[0] == u'5' && !aboveHalf;
            if (aboveHalf || (exactlyHalf && magnitude % 2 == 1))
                ++magnitude;
        }
    }

    const long value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<std::int16_t>::min() || value > std::numeric_limits<std::int16_t>::max())
        return std::nullopt;
    return static_cast<std::int16_t>(value);
}

TagFileReadResult ReadTagFileText(std::u16string_view text, TagTable &table)
{
    TagFileReadResult result;
    FieldReader reader(text);
    std::int16_t previousCategory = 0;
    for (;;) {
        std::optional<std::u16string> japanese = reader.next();
        if (!japanese)
            return result;
        if (*japanese == EndTagMarker) {
            result.markerFound = true;
            return result;
        }
        std::optional<std::u16string> html = reader.next();
        std::optional<std::u16string> category = reader.next();
        std::optional<std::u16string> description = reader.next();
        if (!html || !category || !description)
            return result; // truncated: the partial last record is dropped

        // A Category that is no number, or out of range, takes the previous record's value.
        previousCategory = ParseCategoryField(*category).value_or(previousCategory);
        if (table.TagCount() < TagTable::MaxTagCount) {
            table.AddTagEntry(std::move(*japanese), std::move(*html), previousCategory, std::move(*description));
            ++result.added;
        } else {
            result.notLoaded.push_back({std::move(*japanese), std::move(*html), previousCategory, std::move(*description)});
        }
    }
}

std::u16string WriteTagFileText(std::span<const TagEntry> records)
{
    std::u16string line;
    for (const TagEntry &e : records) {
        line += e.JapaneseName;
        line += u',';
        line += e.HtmlName;
        line += u',';
        const std::string number = std::to_string(e.Category);
        line.append(number.begin(), number.end());
        line += u',';
        line += e.Description;
        line += u',';
    }
    line += EndTagMarker;
    return line;
}

std::u16string WriteTagFileText(const TagTable &table, std::span<const TagEntry> extra)
{
    return WriteTagFileText(TagFileRecords(table, extra));
}

std::vector<TagEntry> TagFileRecords(const TagTable &table, std::span<const TagEntry> notLoaded)
{
    std::vector<TagEntry> records(table.entries().begin() + 1, table.entries().end());
    records.insert(records.end(), notLoaded.begin(), notLoaded.end());
    return records;
}

namespace {
// A record as one key: its four fields, each ended by a character no field holds on its own line.
std::u16string recordKey(const TagEntry &e)
{
    std::u16string key;
    key.reserve(e.JapaneseName.size() + e.HtmlName.size() + e.Description.size() + 8);
    key += e.JapaneseName;
    key += u'\0';
    key += e.HtmlName;
    key += u'\0';
    key += static_cast<char16_t>(static_cast<std::uint16_t>(e.Category));
    key += u'\0';
    key += e.Description;
    return key;
}

// Positions of each record in a list, earliest first.
std::unordered_map<std::u16string, std::deque<std::size_t>> positionsOf(std::span<const TagEntry> records)
{
    std::unordered_map<std::u16string, std::deque<std::size_t>> positions;
    for (std::size_t i = 0; i < records.size(); ++i)
        positions[recordKey(records[i])].push_back(i);
    return positions;
}
} // namespace

std::vector<TagEntry> MergeTagRecords(std::span<const TagEntry> base, std::span<const TagEntry> mine,
                                      std::vector<TagEntry> theirs)
{
    // Each record of mine uses up the first equal record of base: what base has left was deleted
    // by this run, and a record of mine that finds none was added.
    auto inBase = positionsOf(base);
    std::vector<const TagEntry *> added;
    for (const TagEntry &m : mine) {
        auto found = inBase.find(recordKey(m));
        if (found != inBase.end() && !found->second.empty())
            found->second.pop_front();
        else
            added.push_back(&m);
    }
    // The deletions take the first equal records of theirs.
    auto inTheirs = positionsOf(theirs);
    std::vector<bool> removed(theirs.size(), false);
    for (auto &[key, left] : inBase) {
        auto found = inTheirs.find(key);
        for (std::size_t n = left.size(); n > 0 && found != inTheirs.end() && !found->second.empty(); --n) {
            removed[found->second.front()] = true;
            found->second.pop_front();
        }
    }
    std::vector<TagEntry> merged;
    merged.reserve(theirs.size() + added.size());
    for (std::size_t i = 0; i < theirs.size(); ++i)
        if (!removed[i])
            merged.push_back(std::move(theirs[i]));
    for (const TagEntry *a : added)
        merged.push_back(*a);
    return merged;
}

TagFieldProblem TagFileFieldProblem(std::u16string_view field, bool opensRecord)
{
    if (field.find(u',') != std::u16string_view::npos)
        return TagFieldProblem::Comma;
    if (field.find_first_of(u"\r\n") != std::u16string_view::npos)
        return TagFieldProblem::LineEnd;
    if (!field.empty() && isBlank(field.front()))
        return TagFieldProblem::LeadingBlank;
    if (!field.empty() && field.front() == u'"')
        return TagFieldProblem::LeadingQuote;
    if (opensRecord && field == EndTagMarker)
        return TagFieldProblem::EndMarker;
    return TagFieldProblem::None;
}

bool TagFileCanCarry(std::u16string_view field, bool opensRecord)
{
    return TagFileFieldProblem(field, opensRecord) == TagFieldProblem::None;
}

bool TagFileCanCarry(const TagEntry &record)
{
    // The category is written as a number, which always reads back.
    return TagFileCanCarry(record.JapaneseName, true) && TagFileCanCarry(record.HtmlName, false)
           && TagFileCanCarry(record.Description, false);
}

} // namespace qrn
