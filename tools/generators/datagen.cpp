// Build-time helper: writes a file shipped beside the program from its readable UTF-8 source,
// in the form the program reads (Shift_JIS, CR LF), but only where no such file exists yet, so a
// rebuild never overwrites the user's dictionary or settings.
//
//   qrn-datagen dictionary SOURCE TARGET   records → the dictionary's single line
//   qrn-datagen line SOURCE TARGET         the source's first line as it stands
//   qrn-datagen manual SOURCE_DIR TARGET_DIR DICTIONARY_SOURCE
//       the manual's pages, always rewritten: <qrn-example>tags</qrn-example> becomes the tags
//       beside the HTML the delivered dictionary makes of them, and <qrn-tag-list></qrn-tag-list>
//       the dictionary's words by category, so the manual stays true to the dictionary.

#include <core/TagFileFormat.h>
#include <storage/DictionaryFile.h>
#include <storage/ShiftJisCodec.h>
#include <storage/TextCodec.h>
#include <storage/TextFile.h>

#include <core/HenkanMod.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

using namespace qrn;

static int fail(const QString &message)
{
    std::fprintf(stderr, "qrn-datagen: %s\n", qPrintable(message));
    return 1;
}

static QString unescapeHtml(QString s)
{
    return s.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
}

static QString escapeHtml(const QString &s)
{
    return s.toHtmlEscaped();
}

static QString exampleTable(const HenkanMod &henkan, const QString &tags)
{
    const QString html = fromU16(henkan.ToHtml(toU16View(tags)));
    return QStringLiteral("<table class=\"example\"><tr><th>日本語タグ</th><th>変換されたHTML</th></tr>"
                          "<tr><td><pre>%1</pre></td><td><pre>%2</pre></td></tr></table>")
        .arg(escapeHtml(tags), escapeHtml(html));
}

static QString tagList(const TagTable &table)
{
    static const std::pair<int, const char *> categories[] = {
        {0, "基本タグ"}, {1, "デザイン"}, {2, "テーブル"}, {3, "フレーム"}, {4, "メディア"},
        {5, "その他・分類不能"}, {6, "色（かっこなしで入ります）"}, {7, "属性と値（一覧には出ません）"}};
    QString out;
    for (const auto &[number, name] : categories) {
        out += QStringLiteral("<h2>%1</h2>\n<table><tr><th>日本語</th><th>HTML</th><th>説明</th></tr>\n")
                   .arg(QString::fromUtf8(name));
        for (int i = 0; i <= table.TagCount(); ++i) {
            const TagEntry &e = table[i];
            if (e.Category != number)
                continue;
            QString description = fromU16(e.Description);
            // "＜名前＞ | 説明 | <html>": the middle part says what the word is for.
            const QStringList parts = description.split(QStringLiteral(" | "));
            if (parts.size() == 3)
                description = parts[1];
            out += QStringLiteral("<tr><td>%1</td><td><code>%2</code></td><td>%3</td></tr>\n")
                       .arg(escapeHtml(fromU16(e.JapaneseName)), escapeHtml(fromU16(e.HtmlName)), escapeHtml(description));
        }
        out += QStringLiteral("</table>\n");
    }
    return out;
}

static int writeManual(const QString &sourceDir, const QString &targetDir, const QString &dictionarySource)
{
    HenkanMod henkan;
    const ReadBytesResult dict = readFileBytes(dictionarySource);
    if (!dict.ok)
        return fail(dict.error);
    ReadTagFileText(toU16View(QString::fromUtf8(dict.bytes)), henkan.tagTable());
    if (!QDir().mkpath(targetDir))
        return fail(QStringLiteral("cannot create ") + targetDir);

    const QString openExample = QStringLiteral("<qrn-example>"), closeExample = QStringLiteral("</qrn-example>");
    for (const QFileInfo &file : QDir(sourceDir).entryInfoList(QDir::Files)) {
        const ReadBytesResult raw = readFileBytes(file.filePath());
        if (!raw.ok)
            return fail(raw.error);
        QByteArray bytes = raw.bytes;
        if (file.suffix() == QLatin1String("html")) {
            QString page = QString::fromUtf8(raw.bytes);
            for (qsizetype at = page.indexOf(openExample); at >= 0; at = page.indexOf(openExample, at)) {
                const qsizetype end = page.indexOf(closeExample, at);
                if (end < 0)
                    return fail(file.filePath() + QStringLiteral(": <qrn-example> without its end"));
                const QString tags = unescapeHtml(page.mid(at + openExample.size(), end - at - openExample.size()));
                const QString table = exampleTable(henkan, tags);
                page.replace(at, end + closeExample.size() - at, table);
                at += table.size();
            }
            page.replace(QStringLiteral("<qrn-tag-list></qrn-tag-list>"), tagList(henkan.tagTable()));
            bytes = page.toUtf8();
        }
        const FileResult written = writeFileAtomically(QDir(targetDir).filePath(file.fileName()), bytes);
        if (!written.ok)
            return fail(written.error);
    }
    return 0;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("mode"), QStringLiteral("dictionary, line or manual"));
    if (!parser.parse(app.arguments()))
        return fail(parser.errorText());
    const QStringList args = parser.positionalArguments();
    if (args.size() == 4 && args[0] == QLatin1String("manual"))
        return writeManual(args[1], args[2], args[3]);
    if (args.size() != 3)
        return fail(QStringLiteral("usage: qrn-datagen dictionary|line SOURCE TARGET"));
    const QString mode = args[0], source = args[1], target = args[2];
    if (QFileInfo::exists(target))
        return 0;

    const ReadBytesResult raw = readFileBytes(source);
    if (!raw.ok)
        return fail(raw.error);
    const QString text = QString::fromUtf8(raw.bytes);

    QString line;
    if (mode == QLatin1String("dictionary")) {
        TagTable table;
        const TagFileReadResult read = ReadTagFileText(toU16View(text), table);
        if (!read.markerFound)
            return fail(source + QStringLiteral(": no EndTagCom after the records"));
        line = fromU16(WriteTagFileText(table));
    } else if (mode == QLatin1String("line")) {
        line = text.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
    } else {
        return fail(QStringLiteral("unknown mode ") + mode);
    }
    if (!ShiftJisCodec::canEncode(line))
        return fail(source + QStringLiteral(": holds characters Shift_JIS cannot hold"));
    const FileResult written = writeTextFile(target, line, TextEncoding::ShiftJis, Unmappable::QuestionMark);
    return written.ok ? 0 : fail(written.error);
}
