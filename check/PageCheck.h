#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qrn {

class TagTable;

// The page check: the converted page run through HTML Tidy (HTML5), its messages told in the
// notation's own words at the document's own lines, which the conversion keeps one for one.
//
// In two steps, so that the slow one runs on any thread with nothing shared: tidyPage reads a
// copy of the page; describeProblems, on the thread that owns the dictionary, names the words.

// QRN's two levels, whatever level Tidy gives a message.
enum class ProblemLevel {
    Error, // "エラー": what breaks structure or access
    Note,  // "注意": a presentational feature HTML5 dropped, a missing document type
};

// One of Tidy's messages as it came: its code, where (1-based line and column of the page) and
// its arguments.
struct TidyFinding {
    int code = 0;
    int line = 0;
    int column = 0;
    std::vector<std::string> arguments;
};

struct PageProblem {
    int line = 0; // 0-based line of the document
    ProblemLevel level = ProblemLevel::Error;
    std::u16string sentence; // Japanese, in the notation's words
    std::u16string word;     // the notation word the sentence names, to mark in that line
};

// Runs Tidy over a page (UTF-16 text, as ToHtml makes it) and collects its messages through its
// message callback; the ones QRN does not show are dropped here.
std::vector<TidyFinding> tidyPage(std::u16string_view html);

// The findings as problems, in the dictionary's words (the HTML name where it has none), by
// line; the first 500 at most.
// `html` is the page the findings are about.
std::vector<PageProblem> describeProblems(const std::vector<TidyFinding> &findings, std::u16string_view html,
                                          const TagTable &table);

// The label of a level as the user reads it: "エラー" or "注意".
std::u16string_view levelLabel(ProblemLevel level);

// Both steps on the converted document, for callers that own the dictionary on their thread.
std::vector<PageProblem> checkDocument(std::u16string_view text, const TagTable &table);

} // namespace qrn
