#include "PageLines.h"

#include <storage/TextDetection.h>

#include <QByteArrayView>

#include <algorithm>

namespace qrn {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Charsets in which every byte below 0x40 stands for itself, so "<", ">", quotes and line breaks
// can be found byte by byte. (Shift_JIS second bytes are 0x40 or above.)
bool keepsAsciiMarkup(const QByteArray &name)
{
    const std::optional<TextFormat> format = formatForCharset(name);
    if (format && (format->encoding == TextEncoding::Utf8 || format->encoding == TextEncoding::ShiftJis))
        return true;
    const QByteArray n = name.toLower();
    return n == "us-ascii" || n == "euc-jp" || n.startsWith("iso-8859-") || n.startsWith("windows-125");
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

// The whole lines two versions differ in: from the start of the first changed line (the same
// offset on both sides) to the end of a line that both sides share after the changed bytes,
// where `oldEnd` and `newEnd` are the same distance from the end. None when nothing changed or
// the change runs into the last line without a break.
struct ChangedLines {
    qsizetype lineStart, oldEnd, newEnd;
};
std::optional<ChangedLines> changedLines(QByteArrayView before, QByteArrayView after)
{
    const auto [prefix, suffix] = commonEnds(before, after);
    if (prefix == before.size() && prefix == after.size())
        return std::nullopt;
    const qsizetype lineStart = prefix == 0 ? 0 : before.lastIndexOf('\n', prefix - 1) + 1;
    const qsizetype endBefore = before.size() - suffix, endAfter = after.size() - suffix;
    qsizetype extra = 0;
    while (!(endBefore + extra > lineStart && endAfter + extra > lineStart && before[endBefore + extra - 1] == '\n'
             && after[endAfter + extra - 1] == '\n')) {
        const qsizetype lineEnd = before.indexOf('\n', endBefore + extra);
        if (lineEnd < 0)
            return std::nullopt;
        extra = lineEnd + 1 - endBefore;
    }
    return ChangedLines{lineStart, endBefore + extra, endAfter + extra};
}

} // namespace

QByteArray pageCharset(const QByteArray &html)
{
    return charsetName(pageFormat(QByteArrayView(html)));
}

namespace {

// Where a comment may stand in a page without changing what the page is: the HTML standard's
// tokenizer, followed byte by byte, and of the tree builder what decides whether a comment lands
// apart from the text around it. A comment is harmless where the tokenizer is in its data state
// and the text around it is inserted where it stands. It is not harmless inside a table's
// structure (table, tbody, thead, tfoot, tr, colgroup), where the parser gathers text and moves it
// before the table as one run; foreign content (svg, math), templates and framesets, whose rules
// are not followed here, end the marking for the rest of the page. A select's content is followed,
// since it changes which tags count.
class MarkerPlaces {
public:
    explicit MarkerPlaces(QByteArrayView s) : m_s(s) {}

    // Whether a comment may be put before the byte at `pos`, which the tokenizer is about to read.
    bool allowsComment() const
    {
        if (m_stopped || m_state != State::Data)
            return false;
        if (m_table.empty())
            return true;
        const QByteArray &top = m_table.back();
        return top == "td" || top == "th" || top == "caption";
    }
    bool stopped() const { return m_stopped || m_state == State::Plaintext; }
    bool inData() const { return m_state == State::Data; }
    // After a "<" in text, before what follows it says whether markup begins there.
    bool opening() const { return m_state == State::TagOpen; }
    // Inside an element whose content is text up to its own end tag (script, style, title ...).
    bool inRawText() const { return m_textState != State::Data; }

    // Reads the byte at `pos` and perhaps more; returns the position after what was read.
    qsizetype read(qsizetype pos);

private:
    enum class State {
        Data, Rcdata, Rawtext, ScriptData, Plaintext,
        TagOpen, EndTagOpen, TagName,
        TextLt, TextEndTagOpen, TextEndTagName,
        ScriptEscapeStart, ScriptEscapeStartDash, ScriptEscaped, ScriptEscapedDash, ScriptEscapedDashDash,
        ScriptEscapedLt, ScriptEscapedEndTagOpen, ScriptEscapedEndTagName, ScriptDoubleEscapeStart,
        ScriptDoubleEscaped, ScriptDoubleEscapedDash, ScriptDoubleEscapedDashDash, ScriptDoubleEscapedLt,
        ScriptDoubleEscapeEnd,
        BeforeAttrName, AttrName, AfterAttrName, BeforeAttrValue, AttrValueDq, AttrValueSq, AttrValueUnquoted,
        AfterAttrValueQuoted, SelfClosingStartTag,
        BogusComment, CommentStart, CommentStartDash, Comment, CommentEndDash, CommentEnd, CommentEndBang, Doctype,
    };

    static char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }
    // The text state the tokenizer returns to from the "<" states of RCDATA, RAWTEXT and script data.
    State textState() const { return m_textState; }
    void emitTag();
    void startTag(const QByteArray &name);
    void endTag(const QByteArray &name);
    void closeSelect() { m_inSelect = false; }
    bool tableContext() const;
    void popTableTo(const char *name, bool inclusive);
    bool inTableScope(const QByteArray &name) const;
    void closeCellOrCaption();

    QByteArrayView m_s;
    State m_state = State::Data;
    State m_textState = State::Data; // Rcdata, Rawtext or ScriptData while in such an element
    QByteArray m_tag;                // the tag being read, lower case
    bool m_endTag = false;
    QByteArray m_buffer;             // the tokenizer's temporary buffer
    QByteArray m_lastStartTag;
    std::vector<QByteArray> m_table; // open table structure, innermost last
    bool m_inSelect = false;
    bool m_selectInTable = false;
    bool m_stopped = false;
};

bool MarkerPlaces::tableContext() const
{
    if (m_table.empty())
        return false;
    const QByteArray &top = m_table.back();
    return top != "td" && top != "th" && top != "caption";
}

void MarkerPlaces::popTableTo(const char *name, bool inclusive)
{
    while (!m_table.empty() && m_table.back() != name)
        m_table.pop_back();
    if (inclusive && !m_table.empty())
        m_table.pop_back();
}

// Whether `name` is open above the innermost table (the table itself for "table").
bool MarkerPlaces::inTableScope(const QByteArray &name) const
{
    for (auto it = m_table.rbegin(); it != m_table.rend(); ++it) {
        if (*it == name)
            return true;
        if (*it == "table")
            return false;
    }
    return false;
}

void MarkerPlaces::closeCellOrCaption()
{
    while (!m_table.empty()) {
        const QByteArray top = m_table.back();
        m_table.pop_back();
        if (top == "td" || top == "th" || top == "caption")
            return;
    }
}

void MarkerPlaces::startTag(const QByteArray &name)
{
    static const auto isTablePart = [](const QByteArray &n) {
        return n == "caption" || n == "table" || n == "tbody" || n == "tfoot" || n == "thead" || n == "tr" || n == "td"
               || n == "th";
    };
    if (m_inSelect) {
        if (name == "select" || name == "input" || name == "keygen" || name == "textarea") {
            closeSelect();
            if (name == "select")
                return;
        } else if (name == "script") {
            m_textState = m_state = State::ScriptData;
            return;
        } else if (name == "template") {
            m_stopped = true;
            return;
        } else if (m_selectInTable && isTablePart(name)) {
            closeSelect();
        } else {
            return; // option, optgroup, hr; anything else is dropped
        }
    }
    if (name == "svg" || name == "math" || name == "template" || name == "frameset") {
        m_stopped = true;
        return;
    }
    if (name == "plaintext") {
        m_textState = m_state = State::Plaintext;
        return;
    }
    if (name == "title" || name == "textarea") {
        m_textState = m_state = State::Rcdata;
    } else if (name == "style" || name == "xmp" || name == "iframe" || name == "noembed" || name == "noframes"
               || name == "noscript") {
        m_textState = m_state = State::Rawtext;
    } else if (name == "script") {
        m_textState = m_state = State::ScriptData;
    } else if (name == "select") {
        m_inSelect = true;
        m_selectInTable = !m_table.empty();
    }
    if (!m_table.empty() && m_table.back() == "colgroup" && name != "col")
        m_table.pop_back();
    if (name == "table") {
        if (tableContext())
            popTableTo("table", true);
        m_table.push_back(name);
        return;
    }
    if (!isTablePart(name) && name != "colgroup" && name != "col")
        return;
    if (m_table.empty())
        return; // outside a table these are dropped
    const QByteArray top = m_table.back();
    if (top == "td" || top == "th" || top == "caption")
        closeCellOrCaption();
    if (name == "caption" || name == "colgroup" || name == "col" || name == "tbody" || name == "thead" || name == "tfoot") {
        popTableTo("table", false);
        m_table.push_back(name == "col" ? QByteArray("colgroup") : name);
    } else if (name == "tr") {
        if (!m_table.empty() && m_table.back() == "tr")
            m_table.pop_back();
        if (!m_table.empty() && m_table.back() == "table")
            m_table.push_back("tbody");
        m_table.push_back(name);
    } else { // td, th
        if (!m_table.empty() && m_table.back() == "table")
            m_table.push_back("tbody");
        if (!m_table.empty() && m_table.back() != "tr")
            m_table.push_back("tr");
        m_table.push_back(name);
    }
}

void MarkerPlaces::endTag(const QByteArray &name)
{
    const bool tablePart = name == "caption" || name == "table" || name == "tbody" || name == "tfoot" || name == "thead"
                           || name == "tr" || name == "td" || name == "th";
    if (m_inSelect) {
        if (name == "select")
            closeSelect();
        else if (m_selectInTable && tablePart && inTableScope(name))
            closeSelect();
        else
            return;
    }
    if (name == "colgroup") {
        if (!m_table.empty() && m_table.back() == "colgroup")
            m_table.pop_back();
    } else if (tablePart && inTableScope(name)) {
        popTableTo(name.constData(), true);
    }
}

void MarkerPlaces::emitTag()
{
    m_state = State::Data;
    if (m_endTag) {
        m_textState = State::Data;
        endTag(m_tag);
    } else {
        m_textState = State::Data;
        m_lastStartTag = m_tag;
        startTag(m_tag);
    }
}

qsizetype MarkerPlaces::read(qsizetype pos)
{
    const char c = m_s[pos];
    const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const QByteArrayView rest = m_s.sliced(pos);
    switch (m_state) {
    case State::Data:
        if (c == '<')
            m_state = State::TagOpen;
        return pos + 1;
    case State::Rcdata:
    case State::Rawtext:
    case State::ScriptData:
        if (c == '<')
            m_state = State::TextLt;
        return pos + 1;
    case State::Plaintext:
        return m_s.size();
    case State::TagOpen:
        if (c == '!') {
            if (rest.sliced(1).startsWith("--")) {
                m_state = State::CommentStart;
                return pos + 3;
            }
            if (rest.size() >= 8 && rest.sliced(1, 7).compare("doctype", Qt::CaseInsensitive) == 0) {
                m_state = State::Doctype;
                return pos + 8;
            }
            m_state = State::BogusComment; // "<![CDATA[" too: there is no foreign content here
            return pos + 1;
        }
        if (c == '/') {
            m_state = State::EndTagOpen;
            return pos + 1;
        }
        if (alpha) {
            m_state = State::TagName;
            m_tag.clear();
            m_endTag = false;
            return pos;
        }
        m_state = c == '?' ? State::BogusComment : State::Data;
        return c == '?' ? pos + 1 : pos;
    case State::EndTagOpen:
        if (alpha) {
            m_state = State::TagName;
            m_tag.clear();
            m_endTag = true;
            return pos;
        }
        m_state = c == '>' ? State::Data : State::BogusComment;
        return c == '>' ? pos + 1 : pos;
    case State::TagName:
        if (isSpace(c))
            m_state = State::BeforeAttrName;
        else if (c == '/')
            m_state = State::SelfClosingStartTag;
        else if (c == '>')
            emitTag();
        else
            m_tag += lower(c);
        return pos + 1;
    case State::TextLt:
        if (c == '/') {
            m_buffer.clear();
            m_state = State::TextEndTagOpen;
            return pos + 1;
        }
        if (c == '!' && textState() == State::ScriptData) {
            m_state = State::ScriptEscapeStart;
            return pos + 1;
        }
        m_state = textState();
        return pos;
    case State::TextEndTagOpen:
        m_state = alpha ? State::TextEndTagName : textState();
        return pos;
    case State::TextEndTagName:
    case State::ScriptEscapedEndTagName:
        if ((isSpace(c) || c == '/' || c == '>') && m_buffer == m_lastStartTag) {
            m_tag = m_buffer;
            m_endTag = true;
            if (c == '>')
                emitTag();
            else
                m_state = c == '/' ? State::SelfClosingStartTag : State::BeforeAttrName;
            return pos + 1;
        }
        if (alpha) {
            m_buffer += lower(c);
            return pos + 1;
        }
        m_state = m_state == State::TextEndTagName ? textState() : State::ScriptEscaped;
        return pos;
    case State::ScriptEscapeStart:
        m_state = c == '-' ? State::ScriptEscapeStartDash : State::ScriptData;
        return c == '-' ? pos + 1 : pos;
    case State::ScriptEscapeStartDash:
        m_state = c == '-' ? State::ScriptEscapedDashDash : State::ScriptData;
        return c == '-' ? pos + 1 : pos;
    case State::ScriptEscaped:
        if (c == '-')
            m_state = State::ScriptEscapedDash;
        else if (c == '<')
            m_state = State::ScriptEscapedLt;
        return pos + 1;
    case State::ScriptEscapedDash:
        m_state = c == '-' ? State::ScriptEscapedDashDash : c == '<' ? State::ScriptEscapedLt : State::ScriptEscaped;
        return pos + 1;
    case State::ScriptEscapedDashDash:
        if (c == '<')
            m_state = State::ScriptEscapedLt;
        else if (c == '>')
            m_state = State::ScriptData;
        else if (c != '-')
            m_state = State::ScriptEscaped;
        return pos + 1;
    case State::ScriptEscapedLt:
        if (c == '/') {
            m_buffer.clear();
            m_state = State::ScriptEscapedEndTagOpen;
            return pos + 1;
        }
        if (alpha) {
            m_buffer.clear();
            m_state = State::ScriptDoubleEscapeStart;
            return pos;
        }
        m_state = State::ScriptEscaped;
        return pos;
    case State::ScriptEscapedEndTagOpen:
        m_state = alpha ? State::ScriptEscapedEndTagName : State::ScriptEscaped;
        return pos;
    case State::ScriptDoubleEscapeStart:
    case State::ScriptDoubleEscapeEnd:
        if (isSpace(c) || c == '/' || c == '>') {
            const bool script = m_buffer == "script";
            if (m_state == State::ScriptDoubleEscapeStart)
                m_state = script ? State::ScriptDoubleEscaped : State::ScriptEscaped;
            else
                m_state = script ? State::ScriptEscaped : State::ScriptDoubleEscaped;
            return pos + 1;
        }
        if (alpha) {
            m_buffer += lower(c);
            return pos + 1;
        }
        m_state = m_state == State::ScriptDoubleEscapeStart ? State::ScriptEscaped : State::ScriptDoubleEscaped;
        return pos;
    case State::ScriptDoubleEscaped:
        if (c == '-')
            m_state = State::ScriptDoubleEscapedDash;
        else if (c == '<')
            m_state = State::ScriptDoubleEscapedLt;
        return pos + 1;
    case State::ScriptDoubleEscapedDash:
        m_state = c == '-'   ? State::ScriptDoubleEscapedDashDash
                  : c == '<' ? State::ScriptDoubleEscapedLt
                             : State::ScriptDoubleEscaped;
        return pos + 1;
    case State::ScriptDoubleEscapedDashDash:
        if (c == '<')
            m_state = State::ScriptDoubleEscapedLt;
        else if (c == '>')
            m_state = State::ScriptData;
        else if (c != '-')
            m_state = State::ScriptDoubleEscaped;
        return pos + 1;
    case State::ScriptDoubleEscapedLt:
        if (c == '/') {
            m_buffer.clear();
            m_state = State::ScriptDoubleEscapeEnd;
            return pos + 1;
        }
        m_state = State::ScriptDoubleEscaped;
        return pos;
    case State::BeforeAttrName:
        if (isSpace(c))
            return pos + 1;
        m_state = c == '/' || c == '>' ? State::AfterAttrName : State::AttrName;
        return c == '=' ? pos + 1 : pos;
    case State::AttrName:
        if (isSpace(c) || c == '/' || c == '>') {
            m_state = State::AfterAttrName;
            return pos;
        }
        if (c == '=')
            m_state = State::BeforeAttrValue;
        return pos + 1;
    case State::AfterAttrName:
        if (isSpace(c))
            return pos + 1;
        if (c == '/')
            m_state = State::SelfClosingStartTag;
        else if (c == '=')
            m_state = State::BeforeAttrValue;
        else if (c == '>')
            emitTag();
        else {
            m_state = State::AttrName;
            return pos;
        }
        return pos + 1;
    case State::BeforeAttrValue:
        if (isSpace(c))
            return pos + 1;
        if (c == '"')
            m_state = State::AttrValueDq;
        else if (c == '\'')
            m_state = State::AttrValueSq;
        else if (c == '>')
            emitTag();
        else {
            m_state = State::AttrValueUnquoted;
            return pos;
        }
        return pos + 1;
    case State::AttrValueDq:
    case State::AttrValueSq:
        if (c == (m_state == State::AttrValueDq ? '"' : '\''))
            m_state = State::AfterAttrValueQuoted;
        return pos + 1;
    case State::AttrValueUnquoted:
        if (isSpace(c))
            m_state = State::BeforeAttrName;
        else if (c == '>')
            emitTag();
        return pos + 1;
    case State::AfterAttrValueQuoted:
        if (isSpace(c))
            m_state = State::BeforeAttrName;
        else if (c == '/')
            m_state = State::SelfClosingStartTag;
        else if (c == '>')
            emitTag();
        else {
            m_state = State::BeforeAttrName;
            return pos;
        }
        return pos + 1;
    case State::SelfClosingStartTag:
        // A self-closing flag means nothing on an HTML element: "<script/>" still opens a script.
        if (c == '>') {
            emitTag();
            return pos + 1;
        }
        m_state = State::BeforeAttrName;
        return pos;
    case State::BogusComment:
    case State::Doctype:
        if (c == '>')
            m_state = State::Data;
        return pos + 1;
    case State::CommentStart:
        m_state = c == '-' ? State::CommentStartDash : c == '>' ? State::Data : State::Comment;
        return c == '-' || c == '>' ? pos + 1 : pos;
    case State::CommentStartDash:
        m_state = c == '-' ? State::CommentEnd : c == '>' ? State::Data : State::Comment;
        return c == '-' || c == '>' ? pos + 1 : pos;
    case State::Comment:
        if (c == '-')
            m_state = State::CommentEndDash;
        return pos + 1;
    case State::CommentEndDash:
        m_state = c == '-' ? State::CommentEnd : State::Comment;
        return c == '-' ? pos + 1 : pos;
    case State::CommentEnd:
        if (c == '>')
            m_state = State::Data;
        else if (c == '!')
            m_state = State::CommentEndBang;
        else if (c != '-') {
            m_state = State::Comment;
            return pos;
        }
        return pos + 1;
    case State::CommentEndBang:
        if (c == '-')
            m_state = State::CommentEndDash;
        else if (c == '>')
            m_state = State::Data;
        else {
            m_state = State::Comment;
            return pos;
        }
        return pos + 1;
    }
    return pos + 1;
}

} // namespace

QByteArray withLineMarkers(const QByteArray &html, const QByteArray &charset)
{
    if (!keepsAsciiMarkup(charset))
        return html;
    const QByteArrayView s(html);
    const qsizetype n = s.size();
    QByteArray out;
    out.reserve(n + n / 8);
    qsizetype pos = html.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    qsizetype copied = 0;
    int line = 0;
    bool marking = false; // from the first tag or text on: nothing goes before a doctype
    MarkerPlaces places(s);
    while (pos < n && !places.stopped()) {
        if (marking && s[pos - 1] == '\n' && places.allowsComment()) {
            out.append(s.sliced(copied, pos - copied));
            out.append("<!--").append(LineMarkerPrefix).append(QByteArray::number(line)).append("-->");
            copied = pos;
        }
        // A comment before the doctype starts nothing; a doctype, a tag or text does.
        marking = marking || (places.inData() && !isSpace(s[pos]) && !s.sliced(pos).startsWith("<!--") && !s.sliced(pos).startsWith("<?"));
        const qsizetype next = places.read(pos);
        line += int(s.sliced(pos, next - pos).count('\n'));
        pos = next;
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
    const std::optional<ChangedLines> lines = changedLines(before, after);
    // A line must follow, or there is no marker to patch up to.
    if (!lines || lines->oldEnd >= before.size())
        return std::nullopt;
    const auto [lineStart, oldEnd, newEnd] = *lines;
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

bool isMostlyNewPage(const QByteArray &before, const QByteArray &after)
{
    if (after.size() < 256 * 1024)
        return false;
    const auto [prefix, suffix] = commonEnds(before, after);
    return prefix + suffix < after.size() / 2;
}

std::optional<BlockChange> blockChange(const QByteArray &before, const QByteArray &after)
{
    const std::optional<ChangedLines> lines = changedLines(before, after);
    if (!lines)
        return std::nullopt;
    const auto [lineStart, oldEnd, newEnd] = *lines;
    if (oldEnd >= before.size())
        return std::nullopt; // no line after: no marker to patch up to
    for (const QByteArray &lines : {before.mid(lineStart, oldEnd - lineStart), after.mid(lineStart, newEnd - lineStart)}) {
        const QByteArray lower = lines.toLower();
        for (const char *refused : {"<script", "<style", "<link", "<meta", "<base", "<title", "<head", "<body", "<html",
                                    "<iframe", "<frame", "<object", "<embed", "<noscript", "<template", "<plaintext", "<xmp",
                                    "<textarea", "<!--", "<svg", "<math"})
            if (lower.contains(refused))
                return std::nullopt;
    }
    BlockChange change;
    change.firstLine = int(QByteArrayView(before).first(lineStart).count('\n'));
    change.oldLineCount = int(QByteArrayView(before).sliced(lineStart, oldEnd - lineStart).count('\n'));
    change.newLineCount = int(QByteArrayView(after).sliced(lineStart, newEnd - lineStart).count('\n'));
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
    if (!keepsAsciiMarkup(pageCharset(before)))
        return std::nullopt;
    const QByteArrayView s(before);
    // The line's runs of text as the tokenizer that places the markers reads them: it must
    // begin and end in text, outside any element whose content is raw text.
    MarkerPlaces places(s);
    qsizetype pos = before.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < lineStart && !places.stopped())
        pos = places.read(pos);
    if (pos != lineStart || places.stopped() || !places.inData() || places.inRawText())
        return std::nullopt;
    TextRunChange change;
    change.line = int(s.first(lineStart).count('\n'));
    change.lastLine = lineEnd == before.size();
    change.run = -1;
    qsizetype runStart = -1, opened = -1;
    const auto endRun = [&](qsizetype runEnd) {
        if (runStart <= prefix && endBefore <= runEnd && change.run < 0) {
            if (runEnd == runStart)
                return false; // between two tags with no text: no node to patch, the text would be new
            change.run = int(change.oldRuns.size());
            change.newRun = after.mid(runStart, runEnd - runStart + (endAfter - endBefore));
        }
        if (runEnd > runStart)
            change.oldRuns << before.mid(runStart, runEnd - runStart);
        runStart = -1;
        return true;
    };
    while (pos < lineEnd) {
        if (places.inData()) {
            if (runStart < 0)
                runStart = pos;
            opened = s[pos] == '<' ? pos : -1;
        } else if (!places.opening()) {
            if (places.inRawText() || places.stopped())
                return std::nullopt;
            if (runStart >= 0 && !endRun(opened))
                return std::nullopt;
        }
        pos = places.read(pos);
    }
    if (pos != lineEnd || !places.inData())
        return std::nullopt;
    if ((runStart >= 0 && !endRun(lineEnd)) || change.run < 0)
        return std::nullopt;
    return change;
}

} // namespace qrn
