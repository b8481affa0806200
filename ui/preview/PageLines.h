#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace qrn {

// The converted page keeps the document's lines one for one, so the pane can tell which line
// produced what it shows: the page it serves carries a marker comment at the start of each line
// that begins in text, and a later version that differs from it in the body's lines can be
// patched in place between the markers instead of reloaded. Neither the scratch file nor the export ever holds a marker.

// The charset the bytes of a page the editor wrote are in: what the page declares, by the one
// rule that chose how to write them (pageFormat). Lower case, as a Content-Type parameter.
QByteArray pageCharset(const QByteArray &html);

// The page with "<!--qrn-line N-->" inserted at the start of every 0-based line N that begins in
// text: never inside a tag, a comment, a doctype, or the raw text of script, style, textarea,
// title and their kind, and not before the first tag, which may be a doctype a comment before it
// would not disturb but text would. A comment is valid wherever text is, invisible to selectors
// and layout, so the page renders as without them. Charsets in which "<" may be part of another
// character get no markers.
QByteArray withLineMarkers(const QByteArray &html, const QByteArray &charset);

// Whether a page can run code of its own: then it is always reloaded, never patched, so what its
// scripts did at load is done again.
bool pageMayRunScripts(const QByteArray &html);

// Two versions of a page that differ in whole lines of plain text only (no "<" in the lines on
// either side), with at least one unchanged line after them: the lines that were, and the lines
// that replace them, each ending in a line break.
struct TextLinesChange {
    int firstLine = 0;
    int oldLineCount = 0;
    int newLineCount = 0;
    QByteArray oldLines;
    QByteArray newLines;
};
std::optional<TextLinesChange> textLinesChange(const QByteArray &before, const QByteArray &after);

// Two versions of a page that differ inside one run of text of one line (between two tags, or a
// tag and the line's end), the changed bytes holding no "<" and no line break: every non-empty
// run of text of that line as it was, which of them changed, what it became, and whether the
// line is the page's last. The runs are read by the same tokenizer that places the markers. A
// line that begins or ends inside markup, or holds raw text (script, style, title ...), gives
// none, as its text would not show as these runs.
struct TextRunChange {
    int line = 0;
    QList<QByteArray> oldRuns;
    int run = 0;
    QByteArray newRun;
    bool lastLine = false;
};
std::optional<TextRunChange> textRunChange(const QByteArray &before, const QByteArray &after);

// Two versions of a page that differ in whole lines, elements included, with at least one
// unchanged line after them: the lines that changed (0-based, as many as the old version had and
// as the new one has). None when a changed line holds what a patch must not touch: a script, a
// style sheet, the head's elements, frames, plugins, noscript or a template.
struct BlockChange {
    int firstLine = 0;
    int oldLineCount = 0;
    int newLineCount = 0;
};
std::optional<BlockChange> blockChange(const QByteArray &before, const QByteArray &after);

// Whether a new version of a large page (256 KB or more) shares less than half of itself with
// the old one: another document rather than an edit.
bool isMostlyNewPage(const QByteArray &before, const QByteArray &after);

// The marker comment's text for a line, as withLineMarkers writes it and the pane's scripts read it.
inline constexpr char LineMarkerPrefix[] = "qrn-line ";

} // namespace qrn
