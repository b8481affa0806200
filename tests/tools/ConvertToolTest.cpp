#include <core/NewDocumentTemplate.h>
#include <core/TagFileFormat.h>
#include <core/Version.h>
#include <storage/DictionaryFile.h>
#include <storage/ShiftJisCodec.h>
#include <storage/TextCodec.h>
#include <storage/TextFile.h>
#include <support/TestFiles.h>
#include <tools/ConvertCommand.h>

#include <QBuffer>

#include <support/FileSizeLimit.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <sys/stat.h>

using namespace qrn;
using namespace qrn::test;

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QString err;
};



} // namespace

// Runs the real qrn-convert executable, copied into a temporary program folder that holds the
// delivered dictionary, so the default dictionary is that folder's and never the build folder's.
class ConvertToolTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_exe;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // `setUp` adjusts the process before it starts: its standard streams, or a limit in the child.
    Run run(const QStringList &args, const QByteArray &input = {},
            const std::function<void(QProcess &)> &setUp = {}) const
    {
        QProcess p;
        if (setUp)
            setUp(p);
        p.start(m_exe, args);
        p.write(input);
        p.closeWriteChannel();
        p.waitForFinished(30000);
        return {p.exitCode(), p.readAllStandardOutput(), QString::fromLocal8Bit(p.readAllStandardError())};
    }

    void writeFile(const QString &name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_exe = path(QStringLiteral("qrn-convert"));
        QVERIFY(QFile::copy(QStringLiteral(QRN_CONVERT_EXE), m_exe));
        // The delivered dictionary, from its readable source, in the program folder.
        TagTable table;
        const QString source = QString::fromUtf8(readAllBytes(QStringLiteral(QRN_DATA_DIR "/KirikoDate.txt")));
        QVERIFY(ReadTagFileText(toU16View(source), table).markerFound);
        QVERIFY(table.TagCount() >= 150);
        QVERIFY(writeDictionaryFile(path(QStringLiteral("KirikoDate.dat")), table).ok);
    }

    void helpAndVersion()
    {
        const Run help = run({QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains("qrn-convert to-html [--dict FILE]"));
        QVERIFY(help.out.contains("--out-dir DIR"));
        const Run version = run({QStringLiteral("--version")});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QByteArray("qrn-convert ") + VersionText + '\n');
    }


    void standardInputToStandardOutputBothWays()
    {
        const Run html = run({QStringLiteral("to-html")}, sjis(QStringLiteral("＜全体　背景色＝「赤」＞\r本文")));
        QCOMPARE(html.status, 0);
        QCOMPARE(html.out, sjis(QStringLiteral("<body bgcolor=\"red\">\r\n本文\r\n")));

        const Run tags = run({QStringLiteral("to-tags"), QStringLiteral("-"), QStringLiteral("-")},
                             QByteArray("<HTML><BODY BGCOLOR=\"white\">x</BODY></HTML>\r\n"));
        QCOMPARE(tags.status, 0);
        QCOMPARE(ShiftJisCodec::decode(tags.out),
                 QStringLiteral("＜ページ＞＜全体　背景色＝「白」＞x＜全体終わり＞＜ページ終わり＞\r\n"));
    }

    void encodingsOfInputsOutputsAndDictionary()
    {
        // A UTF-8 dictionary, named as such, and an input forced to UTF-8 carry what Shift_JIS cannot.
        TagTable table;
        QVERIFY(DictionaryFile(path(QStringLiteral("KirikoDate.dat"))).load(table).file.ok);
        QVERIFY(writeDictionaryFile(path(QStringLiteral("utf8.dat")), table, TextEncoding::Utf8).ok);
        writeFile(QStringLiteral("emoji.txt"), QStringLiteral("＜段落＞😀€").toUtf8());
        Run r = run({QStringLiteral("to-html"), QStringLiteral("--encoding=utf-8"), QStringLiteral("--dict-encoding"),
                     QStringLiteral("utf-8"), QStringLiteral("--dict"), path(QStringLiteral("utf8.dat")),
                     path(QStringLiteral("emoji.txt"))});
        QCOMPARE(r.status, 0);
        QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("<p>😀€\r\n"));

        // By default a UTF-8 document is recognised and converted with the Shift_JIS dictionary;
        // the page declares no charset, so it is written in Shift_JIS with references.
        r = run({QStringLiteral("to-html"), path(QStringLiteral("emoji.txt"))});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("<p>&#x1F600;&#x20AC;\r\n"));
        QCOMPARE(r.err, QString());
        // A page that declares UTF-8 is written in UTF-8.
        writeFile(QStringLiteral("declared.txt"),
                  QStringLiteral("＜メタ情報　文字コード＝「utf-8」＞😀").toUtf8());
        r = run({QStringLiteral("to-html"), path(QStringLiteral("declared.txt"))});
        QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("<meta charset=\"utf-8\">😀\r\n"));
        // Japanese tags go back in the encoding the HTML was read in.
        r = run({QStringLiteral("to-tags")}, QStringLiteral("<p>日本😀</p>").toUtf8());
        QCOMPARE(QString::fromUtf8(r.out), QStringLiteral("＜段落＞日本😀＜段落終わり＞\r\n"));
    }

    void undecodableBytesAreReportedAndFailUnderStrict()
    {
        // A byte that maps to nothing decodes to U+FFFD, kept as a reference; the run says so.
        writeFile(QStringLiteral("broken.qrnf"), QByteArray("<p>\r\n\xa0</p>"));
        Run r = run({QStringLiteral("to-html"), path(QStringLiteral("broken.qrnf"))});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QByteArray("<p>\r\n&#xFFFD;</p>\r\n"));
        QVERIFY2(r.err.contains(path(QStringLiteral("broken.qrnf"))) && r.err.contains(QStringLiteral(" 1 "))
                     && r.err.contains(QStringLiteral("line 2")),
                 qPrintable(r.err));
        r = run({QStringLiteral("to-html"), QStringLiteral("--strict"), path(QStringLiteral("broken.qrnf")),
                 path(QStringLiteral("strict.html"))});
        QCOMPARE(r.status, 1);
        QVERIFY(!QFile::exists(path(QStringLiteral("strict.html"))));
    }

    void replacementsAreReportedForJapaneseTags()
    {
        writeFile(QStringLiteral("broken.html"), QByteArray("<p>\xa0\xa0</p>"));
        QTemporaryDir out;
        // Batch mode writes NAME.qrnf with "?" and names the file and the count.
        const Run r = run({QStringLiteral("to-tags"), QStringLiteral("--out-dir"), out.path(),
                           path(QStringLiteral("broken.html"))});
        QCOMPARE(r.status, 0);
        const QString written = out.filePath(QStringLiteral("broken.qrnf"));
        QCOMPARE(readAllBytes(written), sjis(QStringLiteral("＜段落＞??＜段落終わり＞\r\n")));
        QVERIFY2(r.err.contains(written) && r.err.contains(QStringLiteral(" 2 ")), qPrintable(r.err));
    }

    void batchModeWritesEveryFile()
    {
        writeFile(QStringLiteral("a.qrnf"), sjis(QStringLiteral("＜ページ＞")));
        writeFile(QStringLiteral("b.page.qrnf"), sjis(QStringLiteral("＜段落＞")));
        QTemporaryDir out;
        const Run r = run({QStringLiteral("to-html"), QStringLiteral("--out-dir"), out.path(),
                           path(QStringLiteral("a.qrnf")), path(QStringLiteral("b.page.qrnf"))});
        QCOMPARE(r.status, 0);
        QCOMPARE(readAllBytes(out.filePath(QStringLiteral("a.html"))), QByteArray("<html>\r\n"));
        QCOMPARE(readAllBytes(out.filePath(QStringLiteral("b.page.html"))), QByteArray("<p>\r\n"));

        const Run missing = run({QStringLiteral("to-html"), QStringLiteral("--out-dir"), out.path(),
                                 path(QStringLiteral("nope.qrnf")), path(QStringLiteral("a.qrnf"))});
        QCOMPARE(missing.status, 1);
        QVERIFY(missing.err.contains(QStringLiteral("nope.qrnf")));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral("nope.html"))));
    }

    // The output ends its lines as the input does; the editor's CR LF is kept for CR LF input, for
    // lone CRs and for a single line. The same holds from a file, from standard input and in batches.
    void lineEndsFollowTheInput_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        const QString html = QStringLiteral("to-html"), tags = QStringLiteral("to-tags");
        QTest::newRow("LF lines") << html << sjis(QStringLiteral("＜段落＞a\n＜段落＞b\n")) << QByteArray("<p>a\n<p>b\n");
        QTest::newRow("LF lines, the last one open") << html << sjis(QStringLiteral("＜段落＞a\nb")) << QByteArray("<p>a\nb\n");
        QTest::newRow("one line ending in LF") << html << sjis(QStringLiteral("＜段落＞\n")) << QByteArray("<p>\n");
        QTest::newRow("LF lines to tags") << tags << QByteArray("<p>x\n<p>y\n") << sjis(QStringLiteral("＜段落＞x\n＜段落＞y\n"));
        QTest::newRow("CR LF lines") << html << sjis(QStringLiteral("＜段落＞a\r\nb\r\n")) << QByteArray("<p>a\r\nb\r\n");
        QTest::newRow("lone CR lines") << html << QByteArray("a\rb\r") << QByteArray("a\r\nb\r\n");
        QTest::newRow("single line") << html << sjis(QStringLiteral("＜段落＞")) << QByteArray("<p>\r\n");
        QTest::newRow("empty") << tags << QByteArray() << QByteArray("\r\n");
    }

    void lineEndsFollowTheInput()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        const QString in = path(QStringLiteral("lines.in"));
        writeFile(QStringLiteral("lines.in"), input);

        Run r = run({command, in, path(QStringLiteral("lines.out"))});
        QCOMPARE(r.status, 0);
        QCOMPARE(readAllBytes(path(QStringLiteral("lines.out"))), expected);

        r = run({command}, input);
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, expected);

        QTemporaryDir out;
        r = run({command, QStringLiteral("--out-dir"), out.path(), in});
        QCOMPARE(r.status, 0);
        const QStringList written = QDir(out.path()).entryList(QDir::Files);
        QCOMPARE(written.size(), 1);
        QCOMPARE(readAllBytes(out.filePath(written.constFirst())), expected);
    }

    // The build writes the delivered data files with qrn-datagen; a file that exists, such as a
    // dictionary holding the user's own entries, is never replaced.
    void datagenWritesOnlyMissingDataFiles()
    {
        QTemporaryDir program;
        writeFile(QStringLiteral("dict.txt"), QStringLiteral("見出し,h1,8,説明,\r\nEndTagCom\r\n").toUtf8());
        writeFile(QStringLiteral("settings.txt"), QByteArray("16777215,MS ゴシック,12,False,False,0\r\nmore\r\n"));
        const QString dictionary = program.filePath(QStringLiteral("KirikoDate.dat"));
        const QString settings = program.filePath(QStringLiteral("EditerFontDate.dat"));
        const auto datagen = [&](const QString &mode, const QString &source, const QString &target) {
            QProcess p;
            p.start(QStringLiteral(QRN_DATAGEN_EXE), {mode, path(source), target});
            return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };

        QCOMPARE(datagen(QStringLiteral("dictionary"), QStringLiteral("dict.txt"), dictionary), 0);
        QCOMPARE(readAllBytes(dictionary), sjis(QStringLiteral("見出し,h1,8,説明,EndTagCom\r\n")));
        QCOMPARE(datagen(QStringLiteral("line"), QStringLiteral("settings.txt"), settings), 0);
        QCOMPARE(readAllBytes(settings), sjis(QStringLiteral("16777215,MS ゴシック,12,False,False,0\r\n")));

        // The user's files, and a source that changed since: the files stay as they are.
        const QByteArray users = sjis(QStringLiteral("見出し,h1,8,説明,自分の,my,9,,EndTagCom\r\n"));
        QVERIFY(QFile::remove(dictionary));
        QFile user(dictionary);
        QVERIFY(user.open(QIODevice::WriteOnly) && user.write(users) == users.size());
        user.close();
        const QByteArray settingsBefore = readAllBytes(settings);
        writeFile(QStringLiteral("dict.txt"), QStringLiteral("別の,b,0,,EndTagCom\r\n").toUtf8());
        writeFile(QStringLiteral("settings.txt"), QByteArray("0,x,9,True,True,1\r\n"));
        QCOMPARE(datagen(QStringLiteral("dictionary"), QStringLiteral("dict.txt"), dictionary), 0);
        QCOMPARE(datagen(QStringLiteral("line"), QStringLiteral("settings.txt"), settings), 0);
        QCOMPARE(readAllBytes(dictionary), users);
        QCOMPARE(readAllBytes(settings), settingsBefore);

        // A source it cannot read fails the build and writes nothing.
        const QString missing = program.filePath(QStringLiteral("missing.dat"));
        QCOMPARE(datagen(QStringLiteral("dictionary"), QStringLiteral("absent.txt"), missing), 1);
        QVERIFY(!QFile::exists(missing));
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no command") << QStringList{} << QStringLiteral("missing command");
        QTest::newRow("unknown command") << QStringList{QStringLiteral("to-pdf")} << QStringLiteral("to-pdf");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("to-html"), QStringLiteral("--fast")}
                                        << QStringLiteral("--fast");
        QTest::newRow("missing value") << QStringList{QStringLiteral("to-html"), QStringLiteral("--dict")}
                                       << QStringLiteral("--dict");
        QTest::newRow("bad encoding") << QStringList{QStringLiteral("to-html"), QStringLiteral("--encoding"),
                                                     QStringLiteral("latin1")}
                                      << QStringLiteral("latin1");
        QTest::newRow("too many operands") << QStringList{QStringLiteral("to-html"), QStringLiteral("a"),
                                                          QStringLiteral("b"), QStringLiteral("c")}
                                           << QStringLiteral("'c'");
        QTest::newRow("out-dir without files") << QStringList{QStringLiteral("to-html"), QStringLiteral("--out-dir"),
                                                              QStringLiteral("/tmp")}
                                               << QStringLiteral("--out-dir");
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run r = run(args);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(r.err.startsWith(QStringLiteral("qrn-convert: ")) && r.err.contains(message), qPrintable(r.err));
    }

    void fileErrorsLeaveNoOutput()
    {
        writeFile(QStringLiteral("ok.qrnf"), QByteArray("x"));
        const QString out = path(QStringLiteral("never.html"));

        Run r = run({QStringLiteral("to-html"), QStringLiteral("--dict"), path(QStringLiteral("absent.dat")),
                     path(QStringLiteral("ok.qrnf")), out});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("dictionary")) && r.err.contains(QStringLiteral("absent.dat")));

        r = run({QStringLiteral("to-html"), path(QStringLiteral("absent.qrnf")), out});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("absent.qrnf")));

        r = run({QStringLiteral("to-html"), path(QStringLiteral("ok.qrnf")), path(QStringLiteral("no/such/dir/x.html"))});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("no/such/dir/x.html")));
        QVERIFY(!QFile::exists(out));

        // An existing output stays whole when the input cannot be read.
        writeFile(QStringLiteral("keep.html"), QByteArray("old"));
        r = run({QStringLiteral("to-html"), path(QStringLiteral("absent.qrnf")), path(QStringLiteral("keep.html"))});
        QCOMPARE(r.status, 1);
        QCOMPARE(readAllBytes(path(QStringLiteral("keep.html"))), QByteArray("old"));
    }

    // A disk that fills part-way: the old output stays whole and the run fails, whether the output
    // fits the write buffer or not; standard output on a full device fails the same way.
    void fullDiskKeepsTheOldOutputAndFails_data()
    {
        QTest::addColumn<int>("paragraphs");
        QTest::newRow("under 16 KB") << 3000; // "<p>" each: 9,000 bytes
        QTest::newRow("over 16 KB") << 8000;
    }

    void fullDiskKeepsTheOldOutputAndFails()
    {
        QFETCH(int, paragraphs);
        writeFile(QStringLiteral("long.qrnf"), sjis(QStringLiteral("＜段落＞").repeated(paragraphs)));
        const QByteArray old(10002, 'o');
        writeFile(QStringLiteral("long.html"), old);
        const auto diskFull = [](QProcess &p) {
            p.setChildProcessModifier([] { test::FileSizeLimit::applyInChild(8192); });
        };
        Run r = run({QStringLiteral("to-html"), path(QStringLiteral("long.qrnf")), path(QStringLiteral("long.html"))}, {},
                    diskFull);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(path(QStringLiteral("long.html"))), qPrintable(r.err));
        QCOMPARE(readAllBytes(path(QStringLiteral("long.html"))), old);

        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full on this system");
        r = run({QStringLiteral("to-html"), path(QStringLiteral("long.qrnf"))}, {},
                [](QProcess &p) { p.setStandardOutputFile(QStringLiteral("/dev/full")); });
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("standard output")), qPrintable(r.err));
    }

    // check: a line per problem as compilers print them, 1 when an error was found, 0 for notes
    // alone (printed with --notes), 2 for wrong usage; run in the process itself.
    void checkReportsProblemsAsCompilersDo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // %1: the folder
        QTest::newRow("an error") << QStringList{QStringLiteral("check"), QStringLiteral("open.qrnf")} << 1
                                  << QStringLiteral("%1/open.qrnf:3: エラー: ＜太字＞ が閉じられていません（＜太字終わり＞ がありません）\n");
        QTest::newRow("notes alone") << QStringList{QStringLiteral("check"), QStringLiteral("note.qrnf")} << 0 << QString();
        QTest::newRow("notes shown") << QStringList{QStringLiteral("check"), QStringLiteral("--notes"), QStringLiteral("note.qrnf")} << 0
                                     << QStringLiteral("%1/note.qrnf:1: 注意: 文書型の宣言（<!DOCTYPE html>）がありません\n");
        QTest::newRow("no file") << QStringList{QStringLiteral("check")} << 2 << QString();
        QTest::newRow("notes without check") << QStringList{QStringLiteral("to-html"), QStringLiteral("--notes")} << 2 << QString();
    }

    void checkReportsProblemsAsCompilersDo()
    {
        QFETCH(QStringList, args);
        // The delivered dictionary has no word for the document type: its note is not printed.
        writeFile(QStringLiteral("open.qrnf"), sjis(QStringLiteral("＜ページ＞＜ヘッド＞＜タイトル＞t＜タイトル終わり＞＜ヘッド終わり＞\r\n\r\n"
                                                                    "＜全体＞＜太字＞開いたまま\r\n＜全体終わり＞＜ページ終わり＞\r\n")));
        writeFile(QStringLiteral("note.qrnf"), sjis(QStringLiteral("＜ページ＞＜ヘッド＞＜タイトル＞t＜タイトル終わり＞＜ヘッド終わり＞＜全体＞x＜全体終わり＞＜ページ終わり＞\r\n")));
        for (QString &a : args)
            if (a.endsWith(QLatin1String(".qrnf")))
                a = path(a);
        QBuffer in, printed, err;
        in.open(QIODevice::ReadOnly);
        printed.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        QTEST(runConvertCommand(args, m_dir.path(), in, printed, err), "status");
        QFETCH(QString, out);
        QCOMPARE(QString::fromUtf8(printed.data()), out.isEmpty() ? QString() : out.arg(m_dir.path()));
    }

    // A standard output that takes only part of what is written (a pipe closed mid-way) fails
    // the run; checked in the process itself, with a device that takes 100 bytes at most.
    void shortWriteToStandardOutputFails()
    {
        class ShortWrites : public QIODevice {
        protected:
            qint64 readData(char *, qint64) override { return -1; }
            qint64 writeData(const char *, qint64 length) override { return std::min<qint64>(length, 100); }
        } out;
        out.open(QIODevice::WriteOnly);
        writeFile(QStringLiteral("short.qrnf"), sjis(QStringLiteral("＜段落＞").repeated(200)));
        QBuffer in, err;
        in.open(QIODevice::ReadOnly);
        err.open(QIODevice::WriteOnly);
        QCOMPARE(runConvertCommand({QStringLiteral("to-html"), path(QStringLiteral("short.qrnf"))}, m_dir.path(), in, out, err),
                 int(ConvertFileError));
        QVERIFY2(err.data().contains("standard output"), err.data().constData());
    }

    // Outputs that would destroy an input, or each other, are refused before anything is written;
    // a device stays a device.
    void outputsThatAreNoPlainNewFile()
    {
        const QByteArray page = sjis(QStringLiteral("＜段落＞"));
        writeFile(QStringLiteral("self.qrnf"), page);
        QFile::remove(path(QStringLiteral("link.qrnf")));
        QVERIFY(QFile::link(path(QStringLiteral("self.qrnf")), path(QStringLiteral("link.qrnf"))));
        for (const QString &output : {path(QStringLiteral("self.qrnf")), path(QStringLiteral("link.qrnf"))}) {
            const Run r = run({QStringLiteral("to-tags"), path(QStringLiteral("self.qrnf")), output});
            QCOMPARE(r.status, 2);
            QVERIFY2(r.err.contains(path(QStringLiteral("self.qrnf"))), qPrintable(r.err));
            QCOMPARE(readAllBytes(path(QStringLiteral("self.qrnf"))), page);
        }

        // Standard input open on the output file.
        const Run fromInput = run({QStringLiteral("to-html"), QStringLiteral("-"), path(QStringLiteral("self.qrnf"))}, {},
                                  [&](QProcess &p) { p.setStandardInputFile(path(QStringLiteral("self.qrnf"))); });
        QCOMPARE(fromInput.status, 2);
        QCOMPARE(readAllBytes(path(QStringLiteral("self.qrnf"))), page);

        QDir(m_dir.path()).mkpath(QStringLiteral("one"));
        QDir(m_dir.path()).mkpath(QStringLiteral("two"));
        writeFile(QStringLiteral("one/page.qrnf"), page);
        writeFile(QStringLiteral("two/page.qrnf"), page);
        QTemporaryDir out;
        Run r = run({QStringLiteral("to-html"), QStringLiteral("--out-dir"), out.path(),
                     path(QStringLiteral("one/page.qrnf")), path(QStringLiteral("two/page.qrnf"))});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(path(QStringLiteral("one/page.qrnf"))) && r.err.contains(path(QStringLiteral("two/page.qrnf"))),
                 qPrintable(r.err));
        QVERIFY(QDir(out.path()).isEmpty());
        // --out-dir onto the inputs' own folder, converting a file into itself.
        r = run({QStringLiteral("to-tags"), QStringLiteral("--out-dir"), path(QStringLiteral("one")),
                 path(QStringLiteral("one/page.qrnf"))});
        QCOMPARE(r.status, 2);
        QCOMPARE(readAllBytes(path(QStringLiteral("one/page.qrnf"))), page);

        r = run({QStringLiteral("to-html"), path(QStringLiteral("self.qrnf")), QStringLiteral("/dev/null")});
        QCOMPARE(r.status, 0);
        struct stat st {};
        QCOMPARE(::stat("/dev/null", &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
    }

    // Endless or oversized inputs are refused instead of filling the memory.
    void inputsPastTheLimitAreRefused()
    {
        const QString huge = path(QStringLiteral("huge.qrnf"));
        {
            QFile sparse(huge);
            QVERIFY(sparse.open(QIODevice::WriteOnly));
            QVERIFY(sparse.resize((qint64(1) << 30) + 1)); // sparse: no disk used
        }
        Run r = run({QStringLiteral("to-html"), huge, path(QStringLiteral("huge.html"))});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(huge), qPrintable(r.err));
        QVERIFY(!QFile::exists(path(QStringLiteral("huge.html"))));
        QFile::remove(huge);

        if (!QFileInfo::exists(QStringLiteral("/dev/zero")))
            QSKIP("no /dev/zero on this system");
        r = run({QStringLiteral("to-html"), QStringLiteral("--dict"), QStringLiteral("/dev/zero"),
                 path(QStringLiteral("self.qrnf"))});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("/dev/zero")), qPrintable(r.err));
        r = run({QStringLiteral("to-html")}, {},
                [](QProcess &p) { p.setStandardInputFile(QStringLiteral("/dev/zero")); });
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("standard input")), qPrintable(r.err));
    }

    void dictionaryPastCapacityIsReported()
    {
        QByteArray text;
        for (int i = 0; i < 32800; ++i)
            text += "w" + QByteArray::number(i) + ",h,0,,";
        writeFile(QStringLiteral("big.dat"), text + "EndTagCom\r\n");
        const Run r = run({QStringLiteral("to-html"), QStringLiteral("--dict"), path(QStringLiteral("big.dat"))}, "x");
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains(QStringLiteral(" 33 ")), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(ConvertToolTest)
#include "ConvertToolTest.moc"
