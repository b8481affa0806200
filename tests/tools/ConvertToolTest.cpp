#include <core/TagFileFormat.h>
#include <core/Version.h>
#include <storage/DictionaryFile.h>
#include <storage/TextCodec.h>
#include <support/TestFiles.h>
#include <tools/ConvertCommand.h>

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace qrn;
using namespace qrn::test;
using namespace Qt::StringLiterals;

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QString err;
};

void writeFile(const QString &name, const QByteArray &bytes) { QVERIFY(writeBytes(name, bytes)); }

} // namespace

// The command runs in this process on in-memory streams, in a temporary working folder whose
// "program" folder holds the delivered dictionary; the real qrn-convert, copied there, runs only
// for what a process shows.
class ConvertToolTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // runConvertCommand with `input` on standard input; standard output is `out` when given.
    Run convert(const QStringList &args, const QByteArray &input = {}, QIODevice *out = nullptr) const
    {
        QBuffer in, printed, err;
        in.setData(input);
        in.open(QIODevice::ReadOnly);
        printed.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        const int status = runConvertCommand(args, m_dir.filePath(u"program"_s), in, out ? *out : printed, err);
        return {status, printed.data(), QString::fromLocal8Bit(err.data())};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path()) && QDir().mkdir(u"program"_s));
        QVERIFY(QFile::copy(QStringLiteral(QRN_CONVERT_EXE), u"program/qrn-convert"_s));
        // The delivered dictionary, from its readable source, in the program folder; the same in UTF-8.
        TagTable table;
        const QString source = QString::fromUtf8(readAllBytes(QStringLiteral(QRN_DATA_DIR "/KirikoDate.txt")));
        QVERIFY(ReadTagFileText(toU16View(source), table).markerFound);
        QVERIFY(table.TagCount() >= 150);
        QVERIFY(writeDictionaryFile(u"program/KirikoDate.dat"_s, table).ok);
        QVERIFY(writeDictionaryFile(u"utf8.dat"_s, table, TextEncoding::Utf8).ok);
    }

    // What only the process shows: its exit status and its own standard streams (standard input
    // compared with OUTPUT by device and inode, a full standard output), the dictionary beside it.
    void processStreamsAndExitStatus_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("inputFile");
        QTest::addColumn<QString>("outputFile");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("err"); // a part of standard error
        const QString html = u"to-html"_s, self = u"self.qrnf"_s;
        QTest::newRow("standard input to standard output") << QStringList{html} << self << QString() << 0
                                                           << QByteArray("<p>\r\n") << QString();
        QTest::newRow("standard input open on the output") << QStringList{html, u"-"_s, self} << self << QString() << 2
                                                           << QByteArray() << u"is the input"_s;
        QTest::newRow("endless standard input") << QStringList{html} << u"/dev/zero"_s << QString() << 1 << QByteArray()
                                                << u"standard input"_s;
        QTest::newRow("full standard output") << QStringList{html} << self << u"/dev/full"_s << 1 << QByteArray()
                                              << u"standard output"_s;
    }

    void processStreamsAndExitStatus()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, inputFile);
        QFETCH(QString, outputFile);
        QFETCH(QString, err);
        const QByteArray page = sjis(u"＜段落＞"_s);
        writeFile(u"self.qrnf"_s, page);
        QProcess p;
        p.setStandardInputFile(inputFile);
        p.setStandardOutputFile(outputFile); // none: read here
        p.start(m_dir.filePath(u"program/qrn-convert"_s), args);
        QVERIFY(p.waitForFinished(30000));
        QTEST(p.exitCode(), "status");
        QTEST(p.readAllStandardOutput(), "out");
        const QString printed = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(printed.contains(err), qPrintable(printed));
        QCOMPARE(readAllBytes(u"self.qrnf"_s), page);
    }

    // Help and version on standard output; wrong usage is status 2 with the tool's name on standard error.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out"); // a part of standard output; empty: nothing there
        QTest::addColumn<QString>("err");    // the same for standard error
        const QString html = u"to-html"_s;
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << QByteArray("qrn-convert to-html [--dict FILE]") << QString();
        QTest::newRow("version") << QStringList{u"--version"_s} << 0 << QByteArray("qrn-convert ") + VersionText + '\n' << QString();
        QTest::newRow("no command") << QStringList{} << 2 << QByteArray() << u"missing command"_s;
        QTest::newRow("unknown command") << QStringList{u"to-pdf"_s} << 2 << QByteArray() << u"to-pdf"_s;
        QTest::newRow("unknown option") << QStringList{html, u"--fast"_s} << 2 << QByteArray() << u"--fast"_s;
        QTest::newRow("missing value") << QStringList{html, u"--dict"_s} << 2 << QByteArray() << u"--dict"_s;
        QTest::newRow("bad encoding") << QStringList{html, u"--encoding"_s, u"latin1"_s} << 2 << QByteArray() << u"latin1"_s;
        QTest::newRow("too many operands") << QStringList{html, u"a"_s, u"b"_s, u"c"_s} << 2 << QByteArray() << u"'c'"_s;
        QTest::newRow("out-dir without files") << QStringList{html, u"--out-dir"_s, u"/tmp"_s} << 2 << QByteArray() << u"--out-dir"_s;
        QTest::newRow("check without files") << QStringList{u"check"_s} << 2 << QByteArray() << u"check"_s;
        QTest::newRow("notes without check") << QStringList{html, u"--notes"_s} << 2 << QByteArray() << u"--notes"_s;
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, out);
        QFETCH(QString, err);
        const Run r = convert(args);
        QTEST(r.status, "status");
        QVERIFY2(out.isEmpty() ? r.out.isEmpty() : r.out.contains(out), r.out.constData());
        QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.startsWith(u"qrn-convert: "_s) && r.err.contains(err),
                 qPrintable(r.err));
    }

    // Standard input to standard output. The output ends its lines as the input does (the editor's
    // CR LF for CR LF input, lone CRs and a single line); a UTF-8 input is recognised; to-html writes
    // what the page declares (Shift_JIS with references when nothing), to-tags what the HTML was read
    // in, and --encoding and --dict-encoding carry what Shift_JIS cannot.
    void standardInputToStandardOutput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        const QStringList html{u"to-html"_s}, tags{u"to-tags"_s};
        QTest::newRow("LF lines") << html << sjis(u"＜段落＞a\n＜段落＞b\n"_s) << QByteArray("<p>a\n<p>b\n");
        QTest::newRow("LF lines, the last one open") << html << sjis(u"＜段落＞a\nb"_s) << QByteArray("<p>a\nb\n");
        QTest::newRow("one line ending in LF") << html << sjis(u"＜段落＞\n"_s) << QByteArray("<p>\n");
        QTest::newRow("LF lines to tags") << tags << QByteArray("<p>x\n<p>y\n") << sjis(u"＜段落＞x\n＜段落＞y\n"_s);
        QTest::newRow("CR LF lines") << html << sjis(u"＜段落＞a\r\nb\r\n"_s) << QByteArray("<p>a\r\nb\r\n");
        QTest::newRow("lone CR lines") << html << sjis(u"＜全体　背景色＝「赤」＞\r本文\r"_s)
                                       << sjis(u"<body bgcolor=\"red\">\r\n本文\r\n"_s);
        QTest::newRow("single line to tags") << tags << QByteArray("<HTML><BODY BGCOLOR=\"white\">x</BODY></HTML>\r\n")
                                             << sjis(u"＜ページ＞＜全体　背景色＝「白」＞x＜全体終わり＞＜ページ終わり＞\r\n"_s);
        QTest::newRow("empty") << tags << QByteArray() << QByteArray("\r\n");
        QTest::newRow("utf-8, nothing declared") << html << u"＜段落＞😀€"_s.toUtf8() << QByteArray("<p>&#x1F600;&#x20AC;\r\n");
        QTest::newRow("utf-8 declared") << html << u"＜メタ情報　文字コード＝「utf-8」＞😀"_s.toUtf8()
                                        << u"<meta charset=\"utf-8\">😀\r\n"_s.toUtf8();
        QTest::newRow("utf-8 to tags") << tags << u"<p>日本😀</p>"_s.toUtf8() << u"＜段落＞日本😀＜段落終わり＞\r\n"_s.toUtf8();
        QTest::newRow("utf-8 forced, utf-8 dictionary")
            << QStringList{u"to-html"_s, u"--encoding=utf-8"_s, u"--dict-encoding"_s, u"utf-8"_s, u"--dict"_s, u"utf8.dat"_s}
            << u"＜段落＞😀€"_s.toUtf8() << u"<p>😀€\r\n"_s.toUtf8();
    }

    void standardInputToStandardOutput()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        const Run r = convert(args << u"-"_s << u"-"_s, input);
        QCOMPARE(r.status, 0);
        QTEST(r.out, "expected");
        QCOMPARE(r.err, QString());
    }

    // Bytes the input's encoding cannot decode become U+FFFD, and characters Japanese tags cannot
    // hold "?"; standard error counts them with the file.
    void undecodableAndUnmappableCharactersAreReported()
    {
        writeFile(u"broken.qrnf"_s, "<p>\r\n\xa0</p>");
        Run r = convert({u"to-html"_s, u"broken.qrnf"_s});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("<p>\r\n&#xFFFD;</p>\r\n"));
        QVERIFY2(r.err.contains(u"broken.qrnf: 1 "_s) && r.err.contains(u"line 2"_s), qPrintable(r.err));

        writeFile(u"broken.html"_s, "<p>\xa0\xa0</p>");
        QTemporaryDir out;
        r = convert({u"to-tags"_s, u"--out-dir"_s, out.path(), u"broken.html"_s});
        QCOMPARE(r.status, 0);
        const QString written = out.filePath(u"broken.qrnf"_s);
        QCOMPARE(readAllBytes(written), sjis(u"＜段落＞??＜段落終わり＞\r\n"_s));
        QVERIFY2(r.err.contains(written + u": 2 "_s), qPrintable(r.err));
    }

    // OUTPUT, or NAME.html in --out-dir for each input.
    void outputFilesAreWritten()
    {
        writeFile(u"a.qrnf"_s, sjis(u"＜ページ＞"_s));
        writeFile(u"b.page.qrnf"_s, sjis(u"＜段落＞"_s));
        QCOMPARE(convert({u"to-html"_s, u"a.qrnf"_s, u"a.html"_s}).status, 0);
        QCOMPARE(readAllBytes(u"a.html"_s), QByteArray("<html>\r\n"));
        QTemporaryDir out;
        QCOMPARE(convert({u"to-html"_s, u"--out-dir"_s, out.path(), u"a.qrnf"_s, u"b.page.qrnf"_s}).status, 0);
        QCOMPARE(readAllBytes(out.filePath(u"a.html"_s)), QByteArray("<html>\r\n"));
        QCOMPARE(readAllBytes(out.filePath(u"b.page.html"_s)), QByteArray("<p>\r\n"));
    }

    // The build writes the delivered data files with qrn-datagen; a file that exists, such as a
    // dictionary holding the user's own entries, is never replaced.
    void datagenWritesOnlyMissingDataFiles()
    {
        QTemporaryDir program;
        writeFile(u"dict.txt"_s, u"見出し,h1,8,説明,\r\nEndTagCom\r\n"_s.toUtf8());
        writeFile(u"settings.txt"_s, "16777215,MS ゴシック,12,False,False,0\r\nmore\r\n");
        const QString dictionary = program.filePath(u"KirikoDate.dat"_s), settings = program.filePath(u"EditerFontDate.dat"_s);
        const auto datagen = [](const QString &mode, const QString &source, const QString &target) {
            QProcess p;
            p.start(QStringLiteral(QRN_DATAGEN_EXE), {mode, source, target});
            const int status = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
            return std::pair(status, readAllBytes(target));
        };
        const QByteArray settingsWritten = sjis(u"16777215,MS ゴシック,12,False,False,0\r\n"_s);
        QCOMPARE(datagen(u"dictionary"_s, u"dict.txt"_s, dictionary), std::pair(0, sjis(u"見出し,h1,8,説明,EndTagCom\r\n"_s)));
        QCOMPARE(datagen(u"line"_s, u"settings.txt"_s, settings), std::pair(0, settingsWritten));

        // The user's files, and a source that changed since: the files stay as they are.
        const QByteArray users = sjis(u"見出し,h1,8,説明,自分の,my,9,,EndTagCom\r\n"_s);
        QVERIFY(QFile::remove(dictionary) && writeBytes(dictionary, users));
        writeFile(u"dict.txt"_s, u"別の,b,0,,EndTagCom\r\n"_s.toUtf8());
        writeFile(u"settings.txt"_s, "0,x,9,True,True,1\r\n");
        QCOMPARE(datagen(u"dictionary"_s, u"dict.txt"_s, dictionary), std::pair(0, users));
        QCOMPARE(datagen(u"line"_s, u"settings.txt"_s, settings), std::pair(0, settingsWritten));

        // A source it cannot read fails the build and writes nothing.
        const QString missing = program.filePath(u"missing.dat"_s);
        QCOMPARE(datagen(u"dictionary"_s, u"absent.txt"_s, missing).first, 1);
        QVERIFY(!QFile::exists(missing));
    }

    // A file that cannot be read or written, an input past 1 GiB (instead of filling the memory) or
    // one --strict refuses: status 1, the file named, no output written and an old one kept whole.
    void fileErrorsLeaveNoOutput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        const QString html = u"to-html"_s;
        QTest::newRow("dictionary missing") << QStringList{html, u"--dict"_s, u"absent.dat"_s, u"ok.qrnf"_s, u"new.html"_s}
                                            << u"dictionary absent.dat"_s;
        QTest::newRow("folder of the output missing") << QStringList{html, u"ok.qrnf"_s, u"no/dir/x.html"_s} << u"no/dir/x.html"_s;
        QTest::newRow("input missing") << QStringList{html, u"absent.qrnf"_s, u"old.html"_s} << u"absent.qrnf"_s;
        QTest::newRow("input past 1 GiB") << QStringList{html, u"huge.qrnf"_s, u"old.html"_s} << u"huge.qrnf"_s;
        QTest::newRow("undecodable under --strict") << QStringList{html, u"--strict"_s, u"broken.qrnf"_s, u"old.html"_s}
                                                    << u"broken.qrnf"_s;
        QTest::newRow("batch with an input missing") << QStringList{html, u"--out-dir"_s, u"."_s, u"absent.qrnf"_s, u"ok.qrnf"_s}
                                                     << u"absent.qrnf"_s;
    }

    void fileErrorsLeaveNoOutput()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        writeFile(u"ok.qrnf"_s, "x");
        writeFile(u"old.html"_s, "old");
        writeFile(u"broken.qrnf"_s, "<p>\r\n\xa0</p>");
        QFile huge(u"huge.qrnf"_s); // sparse: no disk used
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize((qint64(1) << 30) + 1));
        const Run r = convert(args);
        QFile::remove(u"huge.qrnf"_s);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(named), qPrintable(r.err));
        QCOMPARE(readAllBytes(u"old.html"_s), QByteArray("old"));
        QVERIFY(!QFile::exists(u"new.html"_s) && !QFile::exists(u"absent.html"_s));
    }

    // check: a line per problem as compilers print them, 1 when an error was found, 0 for notes
    // alone (printed with --notes).
    void checkReportsProblemsAsCompilersDo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::newRow("an error") << QStringList{u"check"_s, u"open.qrnf"_s} << 1
                                  << u"open.qrnf:3: エラー: ＜太字＞ が閉じられていません（＜太字終わり＞ がありません）\n"_s;
        QTest::newRow("notes alone") << QStringList{u"check"_s, u"note.qrnf"_s} << 0 << QString();
        QTest::newRow("notes shown") << QStringList{u"check"_s, u"--notes"_s, u"note.qrnf"_s} << 0
                                     << u"note.qrnf:1: 注意: 文書型の宣言（<!DOCTYPE html>）がありません\n"_s;
    }

    void checkReportsProblemsAsCompilersDo()
    {
        QFETCH(QStringList, args);
        // The delivered dictionary has no word for the document type: its note is not printed.
        const QString head = u"＜ページ＞＜ヘッド＞＜タイトル＞t＜タイトル終わり＞＜ヘッド終わり＞"_s;
        writeFile(u"open.qrnf"_s, sjis(head + u"\r\n\r\n＜全体＞＜太字＞開いたまま\r\n＜全体終わり＞＜ページ終わり＞\r\n"_s));
        writeFile(u"note.qrnf"_s, sjis(head + u"＜全体＞x＜全体終わり＞＜ページ終わり＞\r\n"_s));
        const Run r = convert(args);
        QTEST(r.status, "status");
        QTEST(QString::fromUtf8(r.out), "out");
    }

    // A standard output that takes only part of what is written (a pipe closed mid-way) fails
    // the run: here a device that takes 100 bytes at most.
    void shortWriteToStandardOutputFails()
    {
        class ShortWrites : public QIODevice {
        protected:
            qint64 readData(char *, qint64) override { return -1; }
            qint64 writeData(const char *, qint64 length) override { return std::min<qint64>(length, 100); }
        } out;
        out.open(QIODevice::WriteOnly);
        const Run r = convert({u"to-html"_s}, sjis(u"＜段落＞"_s.repeated(200)), &out);
        QCOMPARE(r.status, int(ConvertFileError));
        QVERIFY2(r.err.contains(u"standard output"_s), qPrintable(r.err));
    }

    // Outputs that would destroy an input, or each other, are refused before anything is written.
    void outputsThatWouldOverwriteAnInputAreRefused()
    {
        const QByteArray page = sjis(u"＜段落＞"_s);
        writeFile(u"self.qrnf"_s, page);
        QVERIFY(QFile::link(u"self.qrnf"_s, u"link.qrnf"_s));
        Run r = convert({u"to-tags"_s, u"self.qrnf"_s, u"link.qrnf"_s}); // another name for the same file
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"input self.qrnf"_s), qPrintable(r.err));
        QCOMPARE(readAllBytes(u"self.qrnf"_s), page);

        QVERIFY(QDir().mkpath(u"one"_s) && QDir().mkpath(u"two"_s));
        writeFile(u"one/page.qrnf"_s, page);
        writeFile(u"two/page.qrnf"_s, page);
        QTemporaryDir out;
        r = convert({u"to-html"_s, u"--out-dir"_s, out.path(), u"one/page.qrnf"_s, u"two/page.qrnf"_s});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"one/page.qrnf"_s) && r.err.contains(u"two/page.qrnf"_s), qPrintable(r.err));
        QVERIFY(QDir(out.path()).isEmpty());
        // --out-dir onto the inputs' own folder, converting a file into itself.
        QCOMPARE(convert({u"to-tags"_s, u"--out-dir"_s, u"one"_s, u"one/page.qrnf"_s}).status, 2);
        QCOMPARE(readAllBytes(u"one/page.qrnf"_s), page);
    }

    void dictionaryPastCapacityIsReported()
    {
        QByteArray text;
        for (int i = 0; i < 32800; ++i)
            text += "w" + QByteArray::number(i) + ",h,0,,";
        writeFile(u"big.dat"_s, text + "EndTagCom\r\n");
        const Run r = convert({u"to-html"_s, u"--dict"_s, u"big.dat"_s}, "x");
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains(u" 33 "_s), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(ConvertToolTest)
#include "ConvertToolTest.moc"
