#include "BenchDocuments.h"

#include <random>

namespace qrn::bench {

namespace {
const char16_t *const Known[] = {u"全体", u"書体", u"段落", u"見出し1", u"リンク", u"表", u"表の行", u"太字"};
const char16_t *const KnownAttr[] = {u"背景色", u"色", u"幅", u"配置"};
const char16_t *const KnownValue[] = {u"白", u"黒", u"赤", u"左"};
const char16_t *const Unknown[] = {u"未知の語", u"ナゾ", u"説明文"};
const char16_t *const Ascii[] = {u"<div class=\"x\">", u"<br>", u"<span id=\"a1\">", u"</p>"};
const char16_t *const Text[] = {u"日本語の文章をここに書きます。", u"Plain ASCII words here, ",
                                u"ひらがなとカタカナ、漢字。", u"数字 12345 と記号 &amp; ",
                                u"　全角の空白と＝記号。"};
} // namespace

TagTable makeDictionary(int entries)
{
    TagTable t;
    const std::pair<const char16_t *, const char16_t *> real[] = {
        {u"全体", u"body"}, {u"書体", u"font"},  {u"段落", u"p"},    {u"見出し1", u"h1"}, {u"リンク", u"a"},
        {u"表", u"table"},  {u"表の行", u"tr"},  {u"太字", u"b"},    {u"背景色", u"bgcolor"}, {u"色", u"color"},
        {u"幅", u"width"},  {u"配置", u"align"}, {u"白", u"white"}, {u"黒", u"black"},   {u"赤", u"red"},
        {u"左", u"left"}};
    for (const auto &[j, h] : real) {
        t.AddTagEntry(j, h, 0, u"");
        t.AddTagEntry(std::u16string(j) + u"終わり", std::u16string(u"/") + h, 0, u"");
    }
    for (int i = t.TagCount(); i < entries - 1; ++i) {
        const std::u16string n = u"語" + std::u16string(1, char16_t(0x4E00 + i % 20000)) + std::u16string(1, char16_t(u'a' + i % 26))
                                 + std::u16string(1, char16_t(0x3041 + (i / 26) % 80));
        t.AddTagEntry(n, u"w" + std::u16string(1, char16_t(u'a' + i % 26)) + std::u16string(1, char16_t(u'0' + i % 10)), 5, u"");
    }
    return t;
}

std::u16string makeTagDocument(std::size_t bytes)
{
    std::mt19937 rng(7);
    const auto pick = [&](const auto &arr) { return arr[rng() % std::size(arr)]; };
    std::u16string s;
    s.reserve(bytes / 2 + 256);
    while (s.size() * 2 < bytes) {
        // About 40 to 50 characters of text, then a tag.
        const std::size_t target = s.size() + 40 + rng() % 11;
        while (s.size() < target)
            s += pick(Text);
        switch (rng() % 4) {
        case 0:
            s += u"＜" + std::u16string(pick(Known)) + u"　" + pick(KnownAttr) + u"＝「" + pick(KnownValue) + u"」＞";
            break;
        case 1:
            s += u"＜" + std::u16string(pick(Known)) + u"終わり＞\r\n";
            break;
        case 2:
            s += u"＜" + std::u16string(pick(Unknown)) + u"＞";
            break;
        default:
            s += pick(Ascii);
            break;
        }
    }
    return s;
}

std::string makeMarkdownDocument(std::size_t bytes)
{
    std::mt19937 rng(7);
    const char *const words[] = {"Plain words here, ", "**bold text** and ", "*emphasis* with ", "`code` spans ",
                                 "[a link](http://example.invalid/x) ", "日本語の文章。"};
    std::string s;
    s.reserve(bytes + 256);
    while (s.size() < bytes) {
        s += (rng() % 5 == 0) ? "## Heading\n\n" : "";
        for (int i = 0; i < 8; ++i)
            s += words[rng() % std::size(words)];
        s += (rng() % 3 == 0) ? "\n\n- item one\n- item two\n\n" : "\n\n";
    }
    return s;
}

} // namespace qrn::bench
