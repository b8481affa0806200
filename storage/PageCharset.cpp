#include "PageCharset.h"

#include <QList>
#include <QString>

namespace qrn {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

struct Attribute {
    QByteArray name, value;
};

// "Get an attribute": the next attribute of a tag from `pos`, names and values in lower case;
// nothing at the tag's end.
std::optional<Attribute> nextAttribute(QByteArrayView s, qsizetype &pos)
{
    const qsizetype n = s.size();
    while (pos < n && (isSpace(s[pos]) || s[pos] == '/'))
        ++pos;
    if (pos >= n || s[pos] == '>')
        return std::nullopt;
    Attribute a;
    for (;; ++pos) {
        if (pos >= n)
            return std::nullopt;
        const char c = s[pos];
        if (c == '=' && !a.name.isEmpty()) {
            ++pos;
            break;
        }
        if (isSpace(c)) {
            while (pos < n && isSpace(s[pos]))
                ++pos;
            if (pos >= n || s[pos] != '=')
                return a;
            ++pos;
            break;
        }
        if (c == '/' || c == '>')
            return a;
        a.name += lower(c);
    }
    while (pos < n && isSpace(s[pos]))
        ++pos;
    if (pos >= n)
        return std::nullopt;
    if (s[pos] == '"' || s[pos] == '\'') {
        const char quote = s[pos];
        for (++pos; pos < n; ++pos) {
            if (s[pos] == quote) {
                ++pos;
                return a;
            }
            a.value += lower(s[pos]);
        }
        return std::nullopt;
    }
    for (; pos < n && !isSpace(s[pos]) && s[pos] != '>'; ++pos)
        a.value += lower(s[pos]);
    return pos < n ? std::optional<Attribute>(a) : std::nullopt;
}

// "Extract a character encoding from a meta element": the charset a content attribute names.
std::optional<QByteArray> charsetInContent(const QByteArray &content)
{
    for (qsizetype at = content.indexOf("charset"); at >= 0; at = content.indexOf("charset", at + 7)) {
        qsizetype pos = at + 7;
        while (pos < content.size() && isSpace(content[pos]))
            ++pos;
        if (pos >= content.size() || content[pos] != '=')
            continue;
        ++pos;
        while (pos < content.size() && isSpace(content[pos]))
            ++pos;
        if (pos >= content.size())
            return std::nullopt;
        if (content[pos] == '"' || content[pos] == '\'') {
            const qsizetype end = content.indexOf(content[pos], pos + 1);
            if (end < 0)
                return std::nullopt;
            return content.mid(pos + 1, end - pos - 1);
        }
        qsizetype end = pos;
        while (end < content.size() && !isSpace(content[end]) && content[end] != ';')
            ++end;
        return content.mid(pos, end - pos);
    }
    return std::nullopt;
}

// The charset a <meta> declares, its attributes read from `pos`.
std::optional<QByteArray> metaCharset(QByteArrayView s, qsizetype &pos)
{
    QList<QByteArray> seen;
    bool gotPragma = false;
    std::optional<bool> needPragma;
    std::optional<QByteArray> charset;
    while (const auto a = nextAttribute(s, pos)) {
        if (seen.contains(a->name))
            continue;
        seen << a->name;
        if (a->name == "http-equiv") {
            gotPragma = gotPragma || a->value == "content-type";
        } else if (a->name == "content" && !charset) {
            if (const auto found = charsetInContent(a->value)) {
                charset = found;
                needPragma = true;
            }
        } else if (a->name == "charset") {
            charset = a->value.trimmed();
            needPragma = false;
        }
    }
    if (!needPragma || (*needPragma && !gotPragma) || !charset || charset->isEmpty())
        return std::nullopt;
    if (charset->startsWith("utf-16"))
        return QByteArray("utf-8"); // a page read byte by byte cannot be UTF-16
    return charset;
}

} // namespace

std::optional<QByteArray> declaredPageCharset(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QByteArray("utf-8");
    if (bytes.startsWith("\xFF\xFE"))
        return QByteArray("utf-16le");
    if (bytes.startsWith("\xFE\xFF"))
        return QByteArray("utf-16be");
    const QByteArrayView s = bytes.first(std::min(bytes.size(), PagePrescanBytes));
    const qsizetype n = s.size();
    for (qsizetype pos = 0; pos < n;) {
        const QByteArrayView rest = s.sliced(pos);
        if (rest.startsWith("<!--")) {
            // To the first ">" after two dashes, which may be the opening's own ("<!-->").
            qsizetype end = pos + 2;
            while (end < n && !(s[end] == '>' && s[end - 1] == '-' && s[end - 2] == '-'))
                ++end;
            pos = end + 1;
        } else if (rest.size() > 5 && rest.first(5).compare("<meta", Qt::CaseInsensitive) == 0
                   && (isSpace(rest[5]) || rest[5] == '/')) {
            pos += 6;
            if (auto charset = metaCharset(s, pos))
                return charset;
        } else if (rest.size() > 1 && (isLetter(rest[1]) || (rest[1] == '/' && rest.size() > 2 && isLetter(rest[2])))
                   && rest[0] == '<') {
            while (pos < n && !isSpace(s[pos]) && s[pos] != '>')
                ++pos;
            while (nextAttribute(s, pos)) {
            }
        } else if (rest.startsWith("<!") || rest.startsWith("</") || rest.startsWith("<?")) {
            const qsizetype end = s.indexOf('>', pos);
            pos = end < 0 ? n : end + 1;
        } else {
            ++pos;
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> declaredPageCharset(QStringView html)
{
    return declaredPageCharset(QByteArrayView(html.first(std::min(html.size(), PagePrescanBytes)).toLatin1()));
}

} // namespace qrn
