// The page check on real pages through HTML Tidy: each kind of mistake, told in the notation's
// words at the line of the document that made it; what is not shown; a user's own word.

#include <check/PageCheck.h>
#include <core/TagTable.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

using namespace qrn;

namespace {

TagTable table()
{
    TagTable t;
    for (const auto &[ja, html] : std::initializer_list<std::pair<std::u16string, std::u16string>>{
             {u"ページ", u"html"}, {u"ページ終わり", u"/html"}, {u"ヘッド", u"head"}, {u"ヘッド終わり", u"/head"}, {u"タイトル", u"title"},
             {u"タイトル終わり", u"/title"}, {u"全体", u"body"}, {u"全体終わり", u"/body"}, {u"太字", u"b"}, {u"太字終わり", u"/b"},
             {u"斜体", u"i"}, {u"斜体終わり", u"/i"}, {u"画像", u"img"}, {u"代替文字", u"alt"}, {u"表", u"table"}, {u"表終わり", u"/table"},
             {u"表のセル", u"td"}, {u"表のセル終わり", u"/td"}, {u"表の行", u"tr"}, {u"段落", u"p"}, {u"段落終わり", u"/p"},
             {u"クラス", u"class"}, {u"背景色", u"bgcolor"}, {u"文書型", u"!DOCTYPE"}, {u"私の強調", u"strong"}, {u"私の強調終わり", u"/strong"}})
        t.AddTagEntry(ja, html, 0, u"");
    return t;
}

// A page with a document type and a title, its body lines given.
std::u16string page(const std::u16string &body)
{
    return u"＜文書型　html＞\n＜ページ＞＜ヘッド＞＜タイトル＞t＜タイトル終わり＞＜ヘッド終わり＞\n＜全体＞\n" + body
           + u"\n＜全体終わり＞＜ページ終わり＞";
}

struct Case {
    const char *name;
    std::u16string document;
    // The one problem expected: its sentence and marked word, its 0-based line (by default the
    // first of page()'s body) and level.
    std::u16string sentence;
    std::u16string word;
    int line = 3;
    ProblemLevel level = ProblemLevel::Error;
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

class PageCheckTest : public testing::TestWithParam<Case> {};

TEST_P(PageCheckTest, tellsEachMistakeInTheNotationsWordsAtItsLine)
{
    const Case &c = GetParam();
    const std::vector<PageProblem> problems = checkDocument(c.document, table());
    ASSERT_EQ(problems.size(), 1u);
    const PageProblem &p = problems[0];
    EXPECT_EQ(std::tuple(p.line, p.level, p.sentence, p.word), std::tuple(c.line, c.level, c.sentence, c.word));
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, PageCheckTest,
    testing::Values(
        Case{"left open, marked where it opened", page(u"＜太字＞ここから\n続き"), u"＜太字＞ が閉じられていません（＜太字終わり＞ がありません）", u"太字"},
        Case{"closing word with nothing to close", page(u"文\n＜太字終わり＞"), u"＜太字終わり＞ に対応する ＜太字＞ がありません", u"太字終わり", 4},
        Case{"a user's own word", page(u"＜私の強調＞強く"), u"＜私の強調＞ が閉じられていません（＜私の強調終わり＞ がありません）", u"私の強調"},
        Case{"attribute twice", page(u"＜段落　クラス＝「a」　クラス＝「b」＞x＜段落終わり＞"), u"＜段落＞ に クラス が二度あります", u"クラス"},
        Case{"image without alternative text", page(u"＜画像　src＝「a.png」＞"), u"＜画像＞ に 代替文字 がありません", u"代替文字"},
        Case{"cell outside a row", page(u"＜表＞＜表のセル＞x＜表のセル終わり＞＜表終わり＞"), u"ここに置けない要素があります（＜表の行＞ の中に置きます）", u"表の行"},
        Case{"no title", u"＜文書型　html＞＜ページ＞＜ヘッド＞＜ヘッド終わり＞＜全体＞x＜全体終わり＞＜ページ終わり＞",
             u"ページに ＜タイトル＞ がありません", u"タイトル", 0},
        Case{"no document type", u"＜ページ＞＜ヘッド＞＜タイトル＞t＜タイトル終わり＞＜ヘッド終わり＞＜全体＞x＜全体終わり＞＜ページ終わり＞",
             u"文書型の宣言（<!DOCTYPE html>）がありません", u"", 0, ProblemLevel::Note},
        Case{"attribute HTML5 dropped", u"＜文書型　html＞\n＜ページ＞＜ヘッド＞＜タイトル＞t＜タイトル終わり＞＜ヘッド終わり＞\n＜全体　背景色＝「white」＞x＜全体終わり＞＜ページ終わり＞",
             u"＜全体＞ の 背景色 は HTML5 では使われなくなりました", u"背景色", 2, ProblemLevel::Note}));

// Tidy notices the crossing where the inner element opened: that line, that word.
TEST(PageCheck, crossedElementsAreAnErrorWhereTheyCross)
{
    const std::vector<PageProblem> problems = checkDocument(page(u"＜太字＞＜斜体＞x\n＜太字終わり＞＜斜体終わり＞"), table());
    const auto crossed = std::find_if(problems.begin(), problems.end(),
                                      [](const PageProblem &p) { return p.sentence.find(u"交差") != std::u16string::npos; });
    ASSERT_NE(crossed, problems.end());
    EXPECT_EQ(std::tuple(crossed->line, crossed->level, crossed->word), std::tuple(3, ProblemLevel::Error, std::u16string(u"太字")));
}

TEST(PageCheck, aCorrectPageHasNoProblemAndUnknownCodesAreNotShown)
{
    EXPECT_TRUE(checkDocument(page(u"＜段落＞文＜段落終わり＞"), table()).empty());
    // A finding whose code has no sentence is dropped.
    EXPECT_TRUE(describeProblems({TidyFinding{1, 1, 1, {}}}, u"<p>", table()).empty());
}

} // namespace
