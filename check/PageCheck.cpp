#include "PageCheck.h"

#include <core/HenkanMod.h>
#include <core/TagTable.h>

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <algorithm>

namespace qrn {

namespace {

// What QRN shows of Tidy's messages, and how: its level, its sentence, and which of the
// message's arguments name the element and the attribute. In a sentence, {open} stands for the
// element's notation word, {close} for its closing word and {attribute} for the attribute's.
// A code not in this table is not shown.
struct Row {
    int code;
    ProblemLevel level;
    std::u16string_view sentence;
    int elementArgument;   // -1: the fixed element below
    int attributeArgument; // -1: none
    std::string_view element = {};
};

const Row Rows[] = {
    {MISSING_ENDTAG_BEFORE, ProblemLevel::Error, u"{open} が閉じられていません（{close} がありません）", 0, -1},
    {MISSING_ENDTAG_FOR, ProblemLevel::Error, u"{open} が閉じられていません（{close} がありません）", 0, -1},
    {DISCARDING_UNEXPECTED, ProblemLevel::Error, u"{close} に対応する {open} がありません", 0, -1},
    {NON_MATCHING_ENDTAG, ProblemLevel::Error, u"{close} の前に閉じられていない要素があります（要素が交差しています）", 0, -1},
    {MISSING_STARTTAG, ProblemLevel::Error, u"ここに置けない要素があります（{open} の中に置きます）", 0, -1},
    {TAG_NOT_ALLOWED_IN, ProblemLevel::Error, u"{open} はここには置けません", 0, -1},
    {CANT_BE_NESTED, ProblemLevel::Error, u"{open} の中に {open} は置けません", 0, -1},
    {REPEATED_ATTRIBUTE, ProblemLevel::Error, u"{open} に {attribute} が二度あります", 0, 2},
    {MISSING_ATTRIBUTE, ProblemLevel::Error, u"{open} に {attribute} がありません", 0, 1},
    {MISSING_TITLE_ELEMENT, ProblemLevel::Error, u"ページに {open} がありません", -1, -1, "title"},
    {MISSING_DOCTYPE, ProblemLevel::Note, u"文書型の宣言（<!DOCTYPE html>）がありません", -1, -1},
    {MISMATCHED_ATTRIBUTE_ERROR, ProblemLevel::Note, u"{open} の {attribute} は HTML5 では使われなくなりました", 0, 1},
    {MISMATCHED_ATTRIBUTE_WARN, ProblemLevel::Note, u"{open} の {attribute} は HTML5 では使われなくなりました", 0, 1},
    {ELEMENT_VERS_MISMATCH_ERROR, ProblemLevel::Note, u"{open} は HTML5 では使われなくなりました", 0, -1},
    {ELEMENT_VERS_MISMATCH_WARN, ProblemLevel::Note, u"{open} は HTML5 では使われなくなりました", 0, -1},
};

// The most problems told about one page, as validators stop at some number: a page with more
// has its first ones fixed first.
constexpr std::size_t MaxProblems = 500;
// How far back the opening of an element left open is looked for.
constexpr std::size_t MaxLookBack = 64 * 1024;

const Row *rowOf(int code)
{
    for (const Row &row : Rows)
        if (row.code == code)
            return &row;
    return nullptr;
}

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Tidy's names are ASCII: "b", "<img>", "</b>".
std::u16string fromAscii(std::string_view text)
{
    return {text.begin(), text.end()};
}

// The element a Tidy argument names, without brackets or slash, in lower case.
std::string elementName(std::string_view argument)
{
    std::string name;
    for (char c : argument)
        if (c != '<' && c != '>' && c != '/')
            name += char(LowerAsciiLetter(char16_t(c)));
    return name;
}

Bool TIDY_CALL collect(TidyMessage message)
{
    auto *findings = static_cast<std::vector<TidyFinding> *>(tidyGetAppData(tidyGetMessageDoc(message)));
    const int code = int(tidyGetMessageCode(message));
    if (!rowOf(code))
        return no;
    TidyFinding finding{code, tidyGetMessageLine(message), tidyGetMessageColumn(message), {}};
    for (TidyIterator it = tidyGetMessageArguments(message); it;) {
        TidyMessageArgument argument = tidyGetNextMessageArgument(message, &it);
        const char *value = tidyGetArgType(message, &argument) == tidyFormatType_STRING ? tidyGetArgValueString(message, &argument)
                                                                                        : nullptr;
        finding.arguments.emplace_back(value ? value : "");
    }
    findings->push_back(std::move(finding));
    return no; // nothing printed
}

// The start of each line of a page.
std::vector<std::size_t> lineStarts(std::u16string_view html)
{
    std::vector<std::size_t> starts{0};
    for (std::size_t i = 0; i < html.size(); ++i)
        if (html[i] == u'\n')
            starts.push_back(i + 1);
    return starts;
}

bool opensElement(std::u16string_view html, std::size_t at, std::string_view name)
{
    if (html[at] != u'<' || at + 1 + name.size() > html.size())
        return false;
    for (std::size_t k = 0; k < name.size(); ++k) {
        if (LowerAsciiLetter(html[at + 1 + k]) != char16_t(name[k]))
            return false;
    }
    const std::size_t after = at + 1 + name.size();
    return after == html.size() || html[after] == u'>' || html[after] == u'/' || html[after] == u' ' || html[after] == u'\t'
           || html[after] == u'\r' || html[after] == u'\n';
}

} // namespace

std::vector<TidyFinding> tidyPage(std::u16string_view html)
{
    std::vector<TidyFinding> findings;
    TidyDoc doc = tidyCreate();
    tidySetAppData(doc, &findings);
    tidySetMessageCallback(doc, collect);
    TidyBuffer errors;
    tidyBufInit(&errors);
    tidySetErrorBuffer(doc, &errors); // anything the callback lets through goes nowhere
    tidyOptSetBool(doc, TidyQuiet, yes);
    tidyOptSetBool(doc, TidyShowWarnings, yes);
    tidyOptSetInt(doc, TidyShowErrors, 1000000);
    // Elements and attributes HTML5 no longer has are reported only under this option, and
    // only once the document has been cleaned.
    tidyOptSetBool(doc, TidyStrictTagsAttr, yes);
    tidySetCharEncoding(doc, "utf8");
    const std::string bytes = toUtf8(html);
    tidyParseString(doc, bytes.c_str());
    tidyCleanAndRepair(doc);
    tidyRunDiagnostics(doc);
    tidyBufFree(&errors);
    tidyRelease(doc);
    return findings;
}

std::u16string_view levelLabel(ProblemLevel level)
{
    return level == ProblemLevel::Error ? u"エラー" : u"注意";
}

std::vector<PageProblem> describeProblems(const std::vector<TidyFinding> &findings, std::u16string_view html,
                                          const TagTable &table)
{
    const std::vector<std::size_t> starts = lineStarts(html);
    std::vector<PageProblem> problems;
    for (const TidyFinding &finding : findings) {
        const Row *row = rowOf(finding.code);
        if (!row)
            continue;
        const auto argument = [&](int k) { return k >= 0 && std::size_t(k) < finding.arguments.size() ? finding.arguments[k] : std::string(); };
        const std::string element = row->elementArgument >= 0 ? elementName(argument(row->elementArgument)) : std::string(row->element);
        const std::string attribute = argument(row->attributeArgument);
        const std::u16string openWord(table.LookupJapaneseName(fromAscii(element)));
        const std::u16string closeWord(table.LookupJapaneseName(u"/" + fromAscii(element)));
        const std::u16string attributeWord(table.LookupJapaneseName(fromAscii(attribute)));

        // Tidy names text where it names an element ("plain text"): not a notation word.
        const bool text = element.find(' ') != std::string::npos;
        std::u16string sentence(text ? std::u16string_view(u"ここには文字を置けません") : row->sentence);
        for (const auto &[mark, word] : {std::pair<std::u16string_view, std::u16string>{u"{open}", u"＜" + openWord + u"＞"},
                                         {u"{close}", u"＜" + closeWord + u"＞"},
                                         {u"{attribute}", attributeWord}}) {
            for (std::size_t at = sentence.find(mark); at != std::u16string::npos; at = sentence.find(mark, at + word.size()))
                sentence.replace(at, mark.size(), word);
        }

        PageProblem problem;
        problem.level = row->level;
        problem.sentence = std::move(sentence);
        problem.line = std::clamp(finding.line - 1, 0, int(starts.size()) - 1);
        const bool aboutClosing = finding.code == DISCARDING_UNEXPECTED;
        problem.word = !attribute.empty()          ? attributeWord
                       : element.empty() || text ? std::u16string()
                       : aboutClosing            ? closeWord
                                                 : openWord;
        // An element left open is marked where it was opened, not where Tidy noticed it.
        if ((finding.code == MISSING_ENDTAG_BEFORE || finding.code == MISSING_ENDTAG_FOR) && !element.empty()) {
            // Not further back than a page's worth: each finding stays cheap on a huge one-line page.
            std::size_t at = std::min(html.size(), starts[problem.line] + std::size_t(std::max(0, finding.column - 1)));
            const std::size_t limit = at > MaxLookBack ? at - MaxLookBack : 0;
            while (at > limit && !opensElement(html, --at, element)) {
            }
            if (at < html.size() && opensElement(html, at, element))
                problem.line = int(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
        }
        problems.push_back(std::move(problem));
        if (problems.size() >= MaxProblems)
            break;
    }
    std::stable_sort(problems.begin(), problems.end(), [](const PageProblem &a, const PageProblem &b) { return a.line < b.line; });
    return problems;
}

std::vector<PageProblem> checkDocument(std::u16string_view text, const TagTable &table)
{
    const std::u16string html = ToHtml(text, table);
    return describeProblems(tidyPage(html), html, table);
}

} // namespace qrn
