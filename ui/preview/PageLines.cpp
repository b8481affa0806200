#include "PageLines.h"

#include <QByteArrayView>

#include <algorithm>

namespace qrn {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isShiftJisName(QByteArrayView name)
{
    for (const char *alias : {"shift_jis", "shift-jis", "sjis", "x-sjis", "windows-31j", "cp932", "ms932", "ms_kanji",
                              "csshiftjis"})
        if (name == QByteArrayView(alias))
            return true;
    return false;
}

// Charsets in which every byte below 0x40 stands for itself, so "<", ">", quotes and line breaks
// can be found byte by byte. Shift_JIS also has "]" and letters as second bytes, handled apart.
bool keepsAsciiMarkup(QByteArrayView name)
{
    return name == "utf-8" || name == "utf8" || name == "us-ascii" || name == "euc-jp" || name.startsWith("iso-8859-")
           || name.startsWith("windows-125") || isShiftJisName(name);
}

bool isShiftJisLead(uchar c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isShiftJisTrail(uchar c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Finds `needle` from `from` as characters, not as bytes inside a two-byte Shift_JIS character.
qsizetype findText(QByteArrayView s, QByteArrayView needle, qsizetype from, bool shiftJis)
{
    if (!shiftJis)
        return s.indexOf(needle, from);
    for (qsizetype i = from; i + needle.size() <= s.size();) {
        if (s.sliced(i).startsWith(needle))
            return i;
        i += isShiftJisLead(uchar(s[i])) && i + 1 < s.size() && isShiftJisTrail(uchar(s[i + 1])) ? 2 : 1;
    }
    return -1;
}

qsizetype afterOrEnd(QByteArrayView s, qsizetype found, qsizetype length)
{
    return found < 0 ? s.size() : found + length;
}

// The end of a start or end tag whose name begins at `pos`, attributes and quoted values that
// hold ">" or line breaks included: the position after its ">", or the end of the text.
qsizetype endOfTag(QByteArrayView s, qsizetype pos)
{
    const qsizetype n = s.size();
    while (pos < n && !isSpace(s[pos]) && s[pos] != '/' && s[pos] != '>')
        ++pos;
    while (pos < n) {
        while (pos < n && (isSpace(s[pos]) || s[pos] == '/'))
            ++pos;
        if (pos >= n || s[pos] == '>')
            return std::min(pos + 1, n);
        // An attribute name (a first "=" belongs to it), then perhaps a value.
        ++pos;
        while (pos < n && !isSpace(s[pos]) && s[pos] != '/' && s[pos] != '>' && s[pos] != '=')
            ++pos;
        while (pos < n && isSpace(s[pos]))
            ++pos;
        if (pos >= n || s[pos] != '=')
            continue;
        ++pos;
        while (pos < n && isSpace(s[pos]))
            ++pos;
        if (pos < n && (s[pos] == '"' || s[pos] == '\'')) {
            pos = afterOrEnd(s, s.indexOf(s[pos], pos + 1), 1);
        } else {
            while (pos < n && !isSpace(s[pos]) && s[pos] != '>')
                ++pos;
        }
    }
    return n;
}

// Elements whose content is text up to their own end tag: nothing in it is markup.
bool hasRawContent(QByteArrayView lowerName)
{
    for (const char *name : {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes", "noscript"})
        if (lowerName == QByteArrayView(name))
            return true;
    return false;
}

// The position after the end tag that closes raw content named `lowerName`, or the end of the text.
qsizetype endOfRawContent(QByteArrayView s, qsizetype pos, QByteArrayView lowerName)
{
    for (qsizetype at = s.indexOf("</", pos); at >= 0; at = s.indexOf("</", at + 2)) {
        const qsizetype nameEnd = at + 2 + lowerName.size();
        if (nameEnd <= s.size() && s.sliced(at + 2, lowerName.size()).compare(lowerName, Qt::CaseInsensitive) == 0
            && (nameEnd == s.size() || isSpace(s[nameEnd]) || s[nameEnd] == '/' || s[nameEnd] == '>'))
            return endOfTag(s, at + 2);
    }
    return s.size();
}

// The lengths of the common start and, after it, of the common end of two texts.
std::pair<qsizetype, qsizetype> commonEnds(QByteArrayView before, QByteArrayView after)
{
    const qsizetype shorter = std::min(before.size(), after.size());
    const qsizetype prefix = std::mismatch(before.begin(), before.begin() + shorter, after.begin()).first - before.begin();
    const qsizetype rest = shorter - prefix;
    const qsizetype suffix = std::mismatch(before.rbegin(), before.rbegin() + rest, after.rbegin()).first - before.rbegin();
    return {prefix, suffix};
}

// Where markup that starts at `pos` ends, as withLineMarkers skips it; raw text and CDATA
// count as markup here. Sets `holdsText` for a construct whose content is text of its own
// (script, style, CDATA ...) or that ends all markup (plaintext).
qsizetype endOfMarkup(QByteArrayView s, qsizetype pos, bool shiftJis, bool &holdsText)
{
    const QByteArrayView rest = s.sliced(pos);
    holdsText = false;
    if (rest.startsWith("<!--"))
        return afterOrEnd(s, s.indexOf("-->", pos + 4), 3);
    if (rest.startsWith("<![CDATA[")) {
        holdsText = true;
        return afterOrEnd(s, findText(s, "]]>", pos + 9, shiftJis), 3);
    }
    if (rest.startsWith("<!") || rest.startsWith("<?"))
        return afterOrEnd(s, s.indexOf('>', pos + 2), 1);
    if (rest.startsWith("</"))
        return rest.size() > 2 && isAsciiLetter(rest[2]) ? endOfTag(s, pos + 2) : afterOrEnd(s, s.indexOf('>', pos + 2), 1);
    qsizetype nameEnd = pos + 1;
    while (nameEnd < s.size() && !isSpace(s[nameEnd]) && s[nameEnd] != '/' && s[nameEnd] != '>')
        ++nameEnd;
    const QByteArray name = s.sliced(pos + 1, nameEnd - pos - 1).toByteArray().toLower();
    holdsText = name == "plaintext" || hasRawContent(name);
    return endOfTag(s, pos + 1);
}

bool opensMarkup(QByteArrayView s, qsizetype pos)
{
    return pos + 1 < s.size() && (isAsciiLetter(s[pos + 1]) || s[pos + 1] == '/' || s[pos + 1] == '!' || s[pos + 1] == '?');
}

} // namespace

QByteArray pageCharset(const QByteArray &html)
{
    if (html.startsWith("\xEF\xBB\xBF"))
        return "utf-8";
    if (html.startsWith("\xFF\xFE"))
        return "utf-16le";
    if (html.startsWith("\xFE\xFF"))
        return "utf-16be";
    const QByteArray head = html.left(4096).toLower();
    const qsizetype at = head.indexOf("charset");
    if (at < 0)
        return "shift_jis";
    qsizetype pos = at + 7;
    while (pos < head.size() && isSpace(head[pos]))
        ++pos;
    if (pos >= head.size() || head[pos] != '=')
        return {};
    ++pos;
    while (pos < head.size() && (isSpace(head[pos]) || head[pos] == '"' || head[pos] == '\''))
        ++pos;
    const qsizetype start = pos;
    while (pos < head.size() && (isAsciiLetter(head[pos]) || (head[pos] >= '0' && head[pos] <= '9') || head[pos] == '-'
                                 || head[pos] == '_' || head[pos] == '.' || head[pos] == ':'))
        ++pos;
    return head.mid(start, pos - start);
}

QByteArray withLineMarkers(const QByteArray &html, const QByteArray &charset)
{
    if (!keepsAsciiMarkup(charset))
        return html;
    const bool shiftJis = isShiftJisName(charset);
    const QByteArrayView s(html);
    const qsizetype n = s.size();
    QByteArray out;
    out.reserve(n + n / 8);
    qsizetype pos = html.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    qsizetype copied = 0;
    int line = 0;
    bool marking = false; // from the first tag or text on: a comment before a doctype is harmless, text is not
    const auto skipTo = [&](qsizetype to) {
        line += int(s.sliced(pos, to - pos).count('\n'));
        pos = to;
    };
    while (pos < n) {
        if (marking && s[pos - 1] == '\n') {
            out.append(s.sliced(copied, pos - copied));
            out.append("<!--").append(LineMarkerPrefix).append(QByteArray::number(line)).append("-->");
            copied = pos;
        }
        const char c = s[pos];
        if (c != '<') {
            if (c == '\n')
                ++line;
            else if (!isSpace(c))
                marking = true;
            ++pos;
            continue;
        }
        const QByteArrayView rest = s.sliced(pos);
        if (rest.startsWith("<!--")) {
            // Skips to the first "-->" past the opening: at least as far as the parser does.
            skipTo(afterOrEnd(s, s.indexOf("-->", pos + 4), 3));
        } else if (rest.startsWith("<![CDATA[")) {
            skipTo(afterOrEnd(s, findText(s, "]]>", pos + 9, shiftJis), 3));
        } else if (rest.startsWith("<!") || rest.startsWith("<?")) {
            // A doctype, or a comment in disguise; only a doctype starts the marking.
            marking = marking || (rest.size() >= 9 && rest.sliced(2, 7).compare("doctype", Qt::CaseInsensitive) == 0);
            skipTo(afterOrEnd(s, s.indexOf('>', pos + 2), 1));
        } else if (rest.startsWith("</")) {
            if (rest.size() > 2 && isAsciiLetter(rest[2])) {
                marking = true;
                skipTo(endOfTag(s, pos + 2));
            } else {
                skipTo(afterOrEnd(s, s.indexOf('>', pos + 2), 1));
            }
        } else if (rest.size() > 1 && isAsciiLetter(rest[1])) {
            marking = true;
            qsizetype nameEnd = pos + 1;
            while (nameEnd < n && !isSpace(s[nameEnd]) && s[nameEnd] != '/' && s[nameEnd] != '>')
                ++nameEnd;
            const QByteArray name = s.sliced(pos + 1, nameEnd - pos - 1).toByteArray().toLower();
            skipTo(endOfTag(s, pos + 1));
            if (name == "plaintext")
                break;
            if (hasRawContent(name))
                skipTo(endOfRawContent(s, pos, name));
        } else {
            marking = true; // a "<" that opens nothing is text
            ++pos;
        }
    }
    out.append(s.sliced(copied));
    return out;
}

bool pageMayRunScripts(const QByteArray &html)
{
    const QByteArray lower = html.toLower();
    for (const char *sign : {"<script", "javascript:", "srcdoc", "http-equiv"})
        if (lower.contains(sign))
            return true;
    // An event handler attribute: on + letters + "=" after a blank, quote or slash.
    for (qsizetype at = lower.indexOf("on"); at >= 0; at = lower.indexOf("on", at + 2)) {
        if (at == 0 || !(isSpace(lower[at - 1]) || lower[at - 1] == '"' || lower[at - 1] == '\'' || lower[at - 1] == '/'))
            continue;
        qsizetype pos = at + 2;
        while (pos < lower.size() && lower[pos] >= 'a' && lower[pos] <= 'z')
            ++pos;
        while (pos < lower.size() && isSpace(lower[pos]))
            ++pos;
        if (pos > at + 2 && pos < lower.size() && lower[pos] == '=')
            return true;
    }
    return false;
}

std::optional<TextLinesChange> textLinesChange(const QByteArray &before, const QByteArray &after)
{
    const auto [prefix, suffix] = commonEnds(before, after);
    if (prefix == before.size() && prefix == after.size())
        return std::nullopt;
    // Whole lines on both sides: back to the start of the first changed line, on to a line end
    // that both sides share; past the changed bytes the two tails are the same.
    const qsizetype lineStart = prefix == 0 ? 0 : before.lastIndexOf('\n', prefix - 1) + 1;
    const qsizetype endBefore = before.size() - suffix;
    const qsizetype endAfter = after.size() - suffix;
    qsizetype extra = 0;
    while (!(endBefore + extra > lineStart && endAfter + extra > lineStart && before[endBefore + extra - 1] == '\n'
             && after[endAfter + extra - 1] == '\n')) {
        const qsizetype lineEnd = before.indexOf('\n', endBefore + extra);
        if (lineEnd < 0)
            return std::nullopt;
        extra = lineEnd + 1 - endBefore;
    }
    const qsizetype oldEnd = endBefore + extra;
    const qsizetype newEnd = endAfter + extra;
    // A line must follow, or there is no marker to patch up to.
    if (oldEnd >= before.size())
        return std::nullopt;
    TextLinesChange change;
    change.oldLines = before.mid(lineStart, oldEnd - lineStart);
    change.newLines = after.mid(lineStart, newEnd - lineStart);
    if (change.oldLines.contains('<') || change.newLines.contains('<'))
        return std::nullopt;
    change.firstLine = int(QByteArrayView(before).first(lineStart).count('\n'));
    change.oldLineCount = int(change.oldLines.count('\n'));
    change.newLineCount = int(change.newLines.count('\n'));
    return change;
}

std::optional<TextRunChange> textRunChange(const QByteArray &before, const QByteArray &after)
{
    const auto ends = commonEnds(before, after);
    const qsizetype prefix = ends.first, suffix = ends.second;
    const qsizetype endBefore = before.size() - suffix;
    const qsizetype endAfter = after.size() - suffix;
    const QByteArrayView was = QByteArrayView(before).sliced(prefix, endBefore - prefix);
    const QByteArrayView is = QByteArrayView(after).sliced(prefix, endAfter - prefix);
    if ((was.isEmpty() && is.isEmpty()) || was.contains('<') || is.contains('<') || was.contains('\n') || is.contains('\n'))
        return std::nullopt;
    const qsizetype lineStart = prefix == 0 ? 0 : before.lastIndexOf('\n', prefix - 1) + 1;
    const qsizetype lineBreak = before.indexOf('\n', endBefore);
    const qsizetype lineEnd = lineBreak < 0 ? before.size() : lineBreak + 1;
    const QByteArrayView s(before);
    const bool shiftJis = isShiftJisName(pageCharset(before));
    TextRunChange change;
    change.line = int(s.first(lineStart).count('\n'));
    change.lastLine = lineEnd == before.size();
    change.run = -1;
    qsizetype runStart = lineStart;
    const auto endRun = [&](qsizetype runEnd) {
        if (runStart <= prefix && endBefore <= runEnd && change.run < 0) {
            if (runEnd == runStart)
                return false; // no node to patch: the text would be new
            change.run = int(change.oldRuns.size());
            change.newRun = after.mid(runStart, runEnd - runStart + (endAfter - endBefore));
        }
        if (runEnd > runStart)
            change.oldRuns << before.mid(runStart, runEnd - runStart);
        return true;
    };
    for (qsizetype pos = lineStart; pos < lineEnd;) {
        if (s[pos] != '<' || !opensMarkup(s, pos)) {
            ++pos;
            continue;
        }
        if (!endRun(pos))
            return std::nullopt;
        bool holdsText = false;
        pos = endOfMarkup(s, pos, shiftJis, holdsText);
        if (holdsText || pos > lineEnd)
            return std::nullopt;
        runStart = pos;
    }
    if (!endRun(lineEnd) || change.run < 0)
        return std::nullopt;
    return change;
}

} // namespace qrn
