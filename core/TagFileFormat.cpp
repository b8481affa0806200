#include "TagFileFormat.h"

#include <limits>

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
        if (table.AddTagEntry(std::move(*japanese), std::move(*html), previousCategory, std::move(*description)))
            ++result.added;
        else
            ++result.skippedAtCapacity;
    }
}

std::u16string WriteTagFileText(const TagTable &table)
{
    std::u16string line;
    for (int i = 1; i <= table.TagCount(); ++i) {
        const TagEntry &e = table[i];
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

} // namespace qrn
