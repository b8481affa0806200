#pragma once

// The converters exactly as the notation's rule tables read: one character at a time, each lookup
// a scan of the table from index 0. Slow on purpose; tests compare the real converters against
// them, and the benchmark measures them as its baseline.

#include <core/TagTable.h>

#include <string>
#include <string_view>

namespace qrn::literal {

inline std::u16string LookupHtmlName(const TagTable &t, const std::u16string &word)
{
    for (int i = 0; i <= t.TagCount(); ++i)
        if (t[i].JapaneseName == word)
            return t[i].HtmlName.empty() ? word : t[i].HtmlName;
    return word;
}

inline std::u16string LookupJapaneseName(const TagTable &t, const std::u16string &word)
{
    for (int i = 0; i <= t.TagCount(); ++i)
        if (t[i].HtmlName == word)
            return t[i].JapaneseName.empty() ? word : t[i].JapaneseName;
    return word;
}

inline std::u16string ToHtml(std::u16string_view text, const TagTable &t)
{
    std::u16string out, word;
    bool inside = false, pending = false;
    for (const char16_t c : text) {
        if (c == u'＜' || c == u'<') {
            if (pending) { out += u'（'; pending = false; }
            inside = true;
            out += u'<';
        } else if (c == u'＞' || c == u'>') {
            inside = false;
            out += LookupHtmlName(t, word) + u'>';
            word.clear();
        } else if (c == u'（' && inside) {
        } else if (c == u'（' && pending) {
            out += u"（（";
            pending = false;
        } else if (c == u'（') {
            pending = true;
        } else if ((c == u' ' || c == u'　') && inside) {
            out += LookupHtmlName(t, word) + u' ';
            word.clear();
        } else if ((c == u'＝' || c == u'=') && inside) {
            out += LookupHtmlName(t, word) + u'=';
            word.clear();
        } else if ((c == u'「' || c == u'」' || c == u'"') && inside) {
            out += LookupHtmlName(t, word) + u'"';
            word.clear();
        } else if (inside) {
            word += c;
        } else if ((c == u'[' || c == u'【') && pending) {
            out += u'＜';
            pending = false;
        } else if ((c == u']' || c == u'】') && pending) {
            out += u'＞';
            pending = false;
        } else if (pending) {
            out += u'（';
            out += c;
            pending = false;
        } else {
            out += c;
        }
    }
    return out;
}

inline std::u16string ToJapaneseTags(std::u16string_view html, const TagTable &t)
{
    std::u16string out, word;
    bool inside = false, quote = true;
    for (const char16_t c : html) {
        if (c == u'<') {
            inside = true;
            out += u'＜';
        } else if (c == u'>') {
            inside = false;
            out += LookupJapaneseName(t, word) + u'＞';
            word.clear();
        } else if (c == u'＜') {
            out += u"（【";
        } else if (c == u'＞') {
            out += u"（】";
        } else if ((c == u' ' || c == u'　') && inside) {
            out += LookupJapaneseName(t, word) + u'　';
            word.clear();
        } else if (c == u'=' && inside) {
            out += LookupJapaneseName(t, word) + u'＝';
            word.clear();
        } else if (c == u'"' && inside && quote) {
            quote = false;
            out += LookupJapaneseName(t, word) + u'「';
            word.clear();
        } else if (c == u'"' && inside) {
            quote = true;
            out += LookupJapaneseName(t, word) + u'」';
            word.clear();
        } else if (inside && !quote) {
            word += c;
        } else if (inside) {
            word += (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace qrn::literal
