#include <storage/DictionaryFile.h>
#include <storage/PageCharset.h>
#include <storage/SettingsFile.h>
#include <storage/ShiftJisCodec.h>
#include <storage/TextCodec.h>
#include <storage/TextDetection.h>
#include <storage/TextFile.h>
#include <support/FileSizeLimit.h>
#include <support/TestFiles.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qrn;
using namespace qrn::test;
using namespace Qt::StringLiterals;

class StorageTest : public QObject {
    Q_OBJECT

private slots:
    void shiftJisMapping_data();
    void shiftJisMapping();
    void shiftJisCountsOnlyRoundTripsAsRepresentable();
    void codePage932VariantsAreWrittenAndBrokenBytesReadWithoutLoss();
    void encodingDetection_data();
    void encodingDetection();
    void declaredCharsetDecidesImportAndPageBytes();
    void pagesDeclareTheirCharsetAsTheStandardsPrescanFindsIt_data();
    void pagesDeclareTheirCharsetAsTheStandardsPrescanFindsIt();
    void documentsRoundTripByteForByte_data();
    void documentsRoundTripByteForByte();
    void unmappableCharacters_data();
    void unmappableCharacters();

    void documentLineEnds_data();
    void documentLineEnds();
    void writeThatFailsPartWayKeepsTheOldFile_data();
    void writeThatFailsPartWayKeepsTheOldFile();
    void writeKeepsPermissionsAndWritesDevicesInPlace();
    void readRefusesInputPastTheLimit();
    void stagedWritesChangeNothingUntilCommitted();

    void dictionaryFileRoundTripAndTwoRunsKeepEachOthersEdits();
    void twoRunsOnOneSettingsFileKeepEachOthersChanges_data();
    void twoRunsOnOneSettingsFileKeepEachOthersChanges();
    void settingsLine_data();
    void settingsLine();
};

void StorageTest::shiftJisMapping_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii backslash") << QByteArray("\x5c") << u"\\"_s;
    QTest::newRow("ascii tilde") << QByteArray("\x7e") << u"~"_s;
    QTest::newRow("full-width backslash") << QByteArray("\x81\x5f") << QString(QChar(0xFF3C));
    QTest::newRow("wave dash as full-width tilde") << QByteArray("\x81\x60") << QString(QChar(0xFF5E));
    QTest::newRow("full-width minus") << QByteArray("\x81\x7c") << QString(QChar(0xFF0D));
    QTest::newRow("half-width katakana") << QByteArray("\xb1\xdd") << u"ｱﾝ"_s;
    QTest::newRow("kanji") << QByteArray("\x8a\xbf\x8e\x9a") << u"漢字"_s;
    QTest::newRow("NEC special") << QByteArray("\x87\x40") << u"①"_s;
    QTest::newRow("brackets") << QByteArray("\x81\x83\x81\x84\x81\x75\x81\x76")
                              << u"＜＞「」"_s;
}

void StorageTest::shiftJisMapping()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(ShiftJisCodec::decode(bytes), text);
    const EncodeResult encoded = ShiftJisCodec::encode(text, Unmappable::QuestionMark);
    QCOMPARE(encoded.bytes, bytes);
    QCOMPARE(encoded.unmappableCount, 0);
}

void StorageTest::shiftJisCountsOnlyRoundTripsAsRepresentable()
{
    // Every BMP character either reads back as itself or is counted as not representable: none
    // is changed silently on save (ICU alone maps U+F86F to the bytes of "№").
    int representable = 0;
    const QList<uint> variants{0x301C, 0x2016, 0x2212, 0x00A2, 0x00A3, 0x00AC, 0x2014}; // written one way on purpose
    for (uint u = 1; u < 0x10000; ++u) {
        if ((u >= 0xD800 && u <= 0xDFFF) || variants.contains(u))
            continue;
        const QString c = QChar(char16_t(u));
        const EncodeResult r = ShiftJisCodec::encode(c, Unmappable::QuestionMark);
        QVERIFY2(ShiftJisCodec::canEncode(c) == (r.unmappableCount == 0) && (r.unmappableCount > 0 || ShiftJisCodec::decode(r.bytes) == c),
                 qPrintable(QString::number(u, 16)));
        representable += r.unmappableCount == 0;
    }
    QCOMPARE(ShiftJisCodec::encode(QString(QChar(0xF86F)), Unmappable::QuestionMark).bytes, QByteArray("?"));
    QVERIFY(representable > 7000);
}

void StorageTest::codePage932VariantsAreWrittenAndBrokenBytesReadWithoutLoss()
{
    const QString variants = QString::fromUtf16(u"\u301C\u2016\u2212\u00A2\u00A3\u00AC\u2014");
    const EncodeResult r = ShiftJisCodec::encode(variants, Unmappable::QuestionMark);
    QCOMPARE(r.unmappableCount, 0);
    QCOMPARE(r.bytes, QByteArray("\x81\x60\x81\x61\x81\x7C\x81\x91\x81\x92\x81\xCA\x81\x5C"));
    QVERIFY(ShiftJisCodec::canEncode(variants));
    // Reading is unchanged: the code page's own characters come back.
    QCOMPARE(ShiftJisCodec::decode(r.bytes), QString::fromUtf16(u"\uFF5E\u2225\uFF0D\uFFE0\uFFE1\uFFE2\u2015"));

    // A lead byte at the end, or followed by a byte that cannot trail, becomes U+FFFD and the next
    // byte is still read as itself.
    QCOMPARE((QStringList{ShiftJisCodec::decode("a\x82"), ShiftJisCodec::decode("\x82\x0d\x0a"), ShiftJisCodec::decode("\xa0")}),
             (QStringList{u"a\uFFFD"_s, u"\uFFFD\r\n"_s, u"\uFFFD"_s}));
}

void StorageTest::encodingDetection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("mark");
    QTest::addColumn<int>("badBytes");
    QTest::addColumn<int>("firstBadLine");
    QTest::newRow("ascii only") << QByteArray("<p>plain\r\n") << "Shift_JIS" << false << 0 << 0;
    QTest::newRow("shift_jis kanji") << sjis(u"漢字のページ"_s) << "Shift_JIS" << false << 0 << 0;
    QTest::newRow("half-width katakana, not utf-8") << QByteArray("\xB1\xDD\xC3") << "Shift_JIS" << false << 0 << 0;
    // Two half-width katakana that happen to form a valid UTF-8 sequence: the rule says UTF-8.
    QTest::newRow("katakana pair valid as utf-8") << QByteArray("\xC3\xA9") << "UTF-8" << false << 0 << 0;
    QTest::newRow("utf-8") << u"日本語\nの文"_s.toUtf8() << "UTF-8" << false << 0 << 0;
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF" "abc") << "UTF-8" << true << 0 << 0;
    QTest::newRow("utf-16 le") << QByteArray("\xFF\xFE" "a\0", 4) << "UTF-16" << true << 0 << 0;
    QTest::newRow("utf-16 be") << QByteArray("\xFE\xFF\0a", 4) << "UTF-16" << true << 0 << 0;
    QTest::newRow("utf-16 mark and an odd byte") << QByteArray("\xFF\xFE" "a", 3) << "UTF-16" << true << 1 << 1;
    // One stray byte spoils UTF-8; in Shift_JIS it is one undecodable byte on its line.
    QTest::newRow("stray byte") << (sjis(u"一行目\r\n二行目"_s) + "\xA0") << "Shift_JIS" << false << 1 << 2;
    QTest::newRow("utf-8 spoilt by a stray byte") << (u"日本"_s.toUtf8() + "\xFF") << "Shift_JIS" << false << 1 << 1;
    QTest::newRow("stray byte with mark") << QByteArray("\xEF\xBB\xBF" "a\nb\xFF") << "UTF-8" << true << 1 << 2;
}

void StorageTest::encodingDetection()
{
    QFETCH(QByteArray, bytes);
    const ReadTextResult r = documentFromBytes(bytes);
    QTEST(encodingLabel(r.format), "label");
    QTEST(r.format.byteOrderMark, "mark");
    QTEST(int(r.badBytes), "badBytes");
    QTEST(int(r.firstBadLine), "firstBadLine");
}

void StorageTest::declaredCharsetDecidesImportAndPageBytes()
{
    // A declaration wins for an import when the bytes decode in it; a false one does not.
    ReadTextResult r = documentFromBytes("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">"
                                         "</head><body>\xC6\xFC\xCB\xDC</body></html>", TextKind::Html);
    QVERIFY(r.text.contains(u"日本"_s));
    QCOMPARE(r.badBytes, 0);
    r = documentFromBytes("<meta charset=\"utf-8\">" + sjis(u"日本"_s), TextKind::Html);
    QCOMPARE(encodingLabel(r.format), u"Shift_JIS"_s);
    QVERIFY(r.text.endsWith(u"日本"_s));

    // A page declaring an encoding ICU writes is written in it; characters it cannot hold become references.
    const EncodeResult bytes = encodeTextFile(u"日本😀"_s, pageFormat(u"<meta charset=\"EUC-JP\">"_s), Unmappable::CharacterReference);
    QCOMPARE(bytes.bytes, QByteArray("\xC6\xFC\xCB\xDC&#x1F600;\r\n"));
    QCOMPARE(bytes.unmappableCount, 1);
}

// The one rule for a page's charset (the HTML standard's prescan); the page is written in what it
// declares when that can be written byte by byte, Shift_JIS otherwise, and the writer and the bytes
// it wrote agree on it, so that the preview serves a page in the charset it was written in.
void StorageTest::pagesDeclareTheirCharsetAsTheStandardsPrescanFindsIt_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QByteArray>("declared"); // empty: none
    QTest::addColumn<QByteArray>("writtenIn");
    const QByteArray shiftJis("shift_jis"), utf8("utf-8");
    QTest::newRow("meta charset") << u"<html><meta charset=\"UTF-8\">"_s << utf8 << utf8;
    QTest::newRow("http-equiv") << u"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=EUC-JP\">"_s
                                << QByteArray("euc-jp") << QByteArray("euc-jp");
    QTest::newRow("content without http-equiv") << u"<meta content=\"text/html; charset=utf-8\">"_s << QByteArray() << shiftJis;
    QTest::newRow("the word in text") << u"<p>charset=utf-8</p>"_s << QByteArray() << shiftJis;
    // The prescan reads the first 1024 bytes.
    QTest::newRow("ending at byte 1023") << u"<!--%1--><meta charset=utf-8>"_s.arg(QString(997, QLatin1Char('x'))) << utf8 << utf8;
    QTest::newRow("ending at byte 1024") << u"<!--%1--><meta charset=utf-8>"_s.arg(QString(998, QLatin1Char('x'))) << QByteArray() << shiftJis;
    // Within the first 1024 characters but not bytes: UTF-8 is then said by a byte order mark,
    // another charset is not said at all.
    QTest::newRow("far in, utf-8") << u"<title>%1</title><meta charset=utf-8>"_s.arg(QString(400, QChar(0x9801))) << utf8 << utf8;
    QTest::newRow("far in, euc-jp") << u"<title>%1</title><meta charset=euc-jp>"_s.arg(QString(600, QChar(0x9801)))
                                    << QByteArray("euc-jp") << shiftJis;
    QTest::newRow("inside a comment") << u"<!-- <meta charset=utf-8> -->"_s << QByteArray() << shiftJis;
    QTest::newRow("after an empty comment") << u"<!--><meta charset=utf-8>"_s << utf8 << utf8;
    QTest::newRow("inside an attribute") << u"<div title=\"<meta charset=utf-8>\"><meta charset=x-sjis>"_s
                                         << QByteArray("x-sjis") << shiftJis;
    QTest::newRow("utf-16 declared") << u"<meta charset=utf-16>"_s << utf8 << utf8;
    QTest::newRow("utf-32 declared") << u"<meta charset=utf-32>"_s << QByteArray("utf-32") << shiftJis;
    QTest::newRow("unknown to ICU") << u"<meta charset=\"no-such-code\">"_s << QByteArray("no-such-code") << shiftJis;
}

void StorageTest::pagesDeclareTheirCharsetAsTheStandardsPrescanFindsIt()
{
    QFETCH(QString, page);
    QFETCH(QByteArray, declared);
    QCOMPARE(declaredPageCharset(page).value_or(QByteArray()), declared);
    const TextFormat written = pageFormat(page);
    QTEST(charsetName(written), "writtenIn");
    const EncodeResult bytes = encodeTextFile(page, written, Unmappable::CharacterReference);
    QCOMPARE(charsetName(pageFormat(QByteArrayView(bytes.bytes))), charsetName(written));
}

void StorageTest::documentsRoundTripByteForByte_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("shift_jis crlf") << sjis(u"＜ページ＞\r\n本文\r\n"_s);
    QTest::newRow("utf-8") << u"＜ページ＞\r\n本文😀\r\n"_s.toUtf8();
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + u"本文\r\n"_s.toUtf8();
    QTest::newRow("utf-8 lf only") << u"一\n二\n"_s.toUtf8();
    QTest::newRow("utf-16 le with mark") << QByteArray("\xFF\xFE") + QByteArray("a\0\r\0\n\0", 6);
}

void StorageTest::documentsRoundTripByteForByte()
{
    QFETCH(QByteArray, file);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"doc.qrnf"_s);
    QVERIFY(writeBytes(path, file));
    const ReadTextResult r = readDocumentFile(path);
    QVERIFY(r.ok && r.badBytes == 0);
    QVERIFY(writeTextFile(path, r.text, r.format, Unmappable::QuestionMark).ok);
    QCOMPARE(readAllBytes(path), file);
    // A file that is not there, or a folder, is no document.
    QVERIFY(!readDocumentFile(dir.filePath(u"none.qrnf"_s)).ok);
    QCOMPARE(readDocumentFile(dir.path()).cause, FileErrorCause::IsFolder);
}

void StorageTest::unmappableCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("policy");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("count");
    QTest::addColumn<uint>("first");
    const QString emoji = QString::fromUtf8("a😀b€");
    QTest::newRow("question marks") << emoji << int(Unmappable::QuestionMark) << QByteArray("a?b?") << 2 << 0x1F600u;
    QTest::newRow("references") << emoji << int(Unmappable::CharacterReference) << QByteArray("a&#x1F600;b&#x20AC;")
                                << 2 << 0x1F600u;
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << int(Unmappable::QuestionMark) << QByteArray("?") << 1
                                    << 0xD800u;
    QTest::newRow("many references grow the buffer") << QString(50, QChar(0x20AC))
                                                     << int(Unmappable::CharacterReference)
                                                     << QByteArray("&#x20AC;").repeated(50) << 50 << 0x20ACu;
}

void StorageTest::unmappableCharacters()
{
    QFETCH(QString, text);
    QFETCH(int, policy);
    const EncodeResult r = ShiftJisCodec::encode(text, Unmappable(policy));
    QTEST(r.bytes, "bytes");
    QTEST(int(r.unmappableCount), "count");
    QTEST(uint(r.firstUnmappable), "first");
    QVERIFY(!ShiftJisCodec::canEncode(text));
}

void StorageTest::documentLineEnds_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty file") << QByteArray() << QString();
    QTest::newRow("only CR LF") << QByteArray("\r\n") << QString();
    QTest::newRow("two lines") << QByteArray("A\r\nB\r\n") << u"A\r\nB"_s;
    QTest::newRow("no final line end") << QByteArray("A\r\nB") << u"A\r\nB"_s;
    QTest::newRow("ends in two CR LF") << QByteArray("A\r\n\r\n") << u"A\r\n"_s;
    QTest::newRow("lone CR") << QByteArray("A\rB\r") << u"A\r\nB"_s;
    QTest::newRow("lone LF stays") << QByteArray("A\nB\n") << u"A\nB\n"_s;
    QTest::newRow("CR CR LF") << QByteArray("A\r\r\nB") << u"A\r\n\r\nB"_s;
}

void StorageTest::documentLineEnds()
{
    QFETCH(QByteArray, file);
    QTEST(documentFromBytes(file).text, "text");
}

void StorageTest::writeThatFailsPartWayKeepsTheOldFile_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("fits the write buffer, fails at the flush") << 10002;
    QTest::newRow("larger than the write buffer") << 40000;
}

void StorageTest::writeThatFailsPartWayKeepsTheOldFile()
{
    QFETCH(int, size);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"KirikoDate.dat"_s);
    const QByteArray old(13196, 'o');
    QVERIFY(writeBytes(path, old));
    FileResult written;
    {
        const test::FileSizeLimit limit(8192);
        written = writeFileAtomically(path, QByteArray(size, 'n'));
    }
    QVERIFY2(!written.ok && written.error.contains(path), "a write cut short must not report success, and names the file");
    QCOMPARE(readAllBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"KirikoDate.dat"_s});
}

void StorageTest::writeKeepsPermissionsAndWritesDevicesInPlace()
{
    QTemporaryDir dir;
    const auto mode = [](const QString &p) { struct stat st {}; return ::stat(QFile::encodeName(p).constData(), &st) ? mode_t(0) : st.st_mode; };
    // A replaced file keeps its permissions (as root, a read-only file is still replaced).
    const QString readOnly = dir.filePath(u"ro.html"_s);
    QVERIFY(writeBytes(readOnly, "old"));
    QVERIFY(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const FileResult replaced = writeFileAtomically(readOnly, "new");
    if (replaced.ok) {
        QCOMPARE(readAllBytes(readOnly), QByteArray("new"));
        QCOMPARE(mode(readOnly) & 07777, mode_t(0444));
    } else {
        QCOMPARE(readAllBytes(readOnly), QByteArray("old"));
    }

    // A FIFO is written into, not replaced by a regular file.
    const QString fifo = dir.filePath(u"pipe"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    QVERIFY(writeFileAtomically(fifo, "through the pipe").ok);
    char buffer[64] = {};
    const ssize_t n = ::read(reader, buffer, sizeof buffer);
    ::close(reader);
    QCOMPARE(QByteArray(buffer, int(n)), QByteArray("through the pipe"));
    QVERIFY(S_ISFIFO(mode(fifo)));

    // A device that refuses the bytes is a failure, and stays a device.
    QVERIFY(!writeFileAtomically(u"/dev/full"_s, "x").ok);
    QVERIFY(!QFileInfo(u"/dev/full"_s).isFile());
}

void StorageTest::readRefusesInputPastTheLimit()
{
    QTemporaryDir dir;
    const QString exact = dir.filePath(u"exact"_s);
    QVERIFY(writeBytes(exact, QByteArray(100, 'a')));
    QVERIFY(readFileBytes(exact, 100).ok);
    const ReadBytesResult over = readFileBytes(exact, 99);
    QVERIFY(!over.ok && over.bytes.isEmpty());

    // A stream without an end stops at the limit.
    const ReadBytesResult zero = readFileBytes(u"/dev/zero"_s, 3 << 20);
    QVERIFY(!zero.ok && zero.error.contains(u"/dev/zero"_s));
    QBuffer stream;
    stream.setData(QByteArray(5000, 'x'));
    QVERIFY(stream.open(QIODevice::ReadOnly));
    const ReadBytesResult whole = readDeviceBytes(stream, u"input"_s, 5000);
    QVERIFY(whole.ok && whole.bytes.size() == 5000);
}

void StorageTest::dictionaryFileRoundTripAndTwoRunsKeepEachOthersEdits()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"KirikoDate.dat"_s);
    // One record per line, in Shift_JIS, loads like the single-line form and is written back as one line.
    const QString records = u"見出し,h1,8,＜見出し＞ | ユーザー定義タグ | <h1>,\r\n全体,body,0,d,\r\nEndTagCom\r\ntrailing"_s;
    QVERIFY(writeBytes(path, ShiftJisCodec::encode(records, Unmappable::QuestionMark).bytes));
    TagTable table;
    DictionaryFile file(path);
    QVERIFY(file.load(table).file.ok);
    QCOMPARE(int(table.TagCount()), 2); // both in the table, not merely carried through
    QVERIFY(file.save(table).ok);
    QCOMPARE(ShiftJisCodec::decode(readAllBytes(path)),
             u"見出し,h1,8,＜見出し＞ | ユーザー定義タグ | <h1>,全体,body,0,d,EndTagCom\r\n"_s);

    table.clear();
    QVERIFY(file.save(table).ok);
    QCOMPARE(readAllBytes(path), QByteArray("EndTagCom\r\n"));

    QVERIFY(writeBytes(path, "a,h,8,,b,h,8,,EndTagCom\r\n"));
    TagTable first, second, third;
    DictionaryFile firstFile(path), secondFile(path), thirdFile(path);
    QVERIFY(firstFile.load(first).file.ok && secondFile.load(second).file.ok && thirdFile.load(third).file.ok);

    // The first run adds a tag and exits; the second deletes one and adds one; the third changed
    // nothing and must not undo either.
    first.AddTagEntry(u"m1", u"h", 8, u"");
    QVERIFY(firstFile.save(first).ok);
    QVERIFY(second.DeleteTagEntry(u"a"));
    second.AddTagEntry(u"m2", u"h", 8, u"");
    QVERIFY(secondFile.save(second).ok);
    QVERIFY(thirdFile.save(third).ok);
    QCOMPARE(readAllBytes(path), QByteArray("b,h,8,,m1,h,8,,m2,h,8,,EndTagCom\r\n"));
}

// One row per field: the first run changes it, the second another one (the size, or for the size
// the text colour), the third nothing. Both changes survive the others' exits and every field
// nobody changed keeps its value.
void StorageTest::twoRunsOnOneSettingsFileKeepEachOthersChanges_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QByteArray>("merged");
    const QString size12 = u"16777215,Face,12,False,False,0"_s;
    QTest::newRow("BackColor") << u"255,Face,10,False,False,0"_s << size12 << QByteArray("255,Face,12,False,False,0\r\n");
    QTest::newRow("FaceName") << u"16777215,Other,10,False,False,0"_s << size12 << QByteArray("16777215,Other,12,False,False,0\r\n");
    QTest::newRow("Size") << u"16777215,Face,11,False,False,0"_s << u"16777215,Face,10,False,False,99"_s
                          << QByteArray("16777215,Face,11,False,False,99\r\n");
    QTest::newRow("Bold") << u"16777215,Face,10,True,False,0"_s << size12 << QByteArray("16777215,Face,12,True,False,0\r\n");
    QTest::newRow("Italic") << u"16777215,Face,10,False,True,0"_s << size12 << QByteArray("16777215,Face,12,False,True,0\r\n");
    QTest::newRow("ForeColor") << u"16777215,Face,10,False,False,99"_s << size12 << QByteArray("16777215,Face,12,False,False,99\r\n");
}

void StorageTest::twoRunsOnOneSettingsFileKeepEachOthersChanges()
{
    const auto appearance = [](const QString &line) {
        const SettingsFields f = parseSettingsLine(line);
        return EditorAppearance{*f.BackColor, *f.FaceName, *f.Size, *f.Bold, *f.Italic, *f.ForeColor};
    };
    QFETCH(QString, first);
    QFETCH(QString, second);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"EditerFontDate.dat"_s);
    QVERIFY(writeBytes(path, "16777215,Face,10,False,False,0\r\n"));
    const EditorAppearance start = appearance(u"16777215,Face,10,False,False,0"_s);
    SettingsFile firstRun(path), secondRun(path), thirdRun(path);
    QVERIFY(firstRun.read().file.ok && secondRun.read().file.ok && thirdRun.read().file.ok);
    QVERIFY(firstRun.save(appearance(first), start).ok);
    QVERIFY(secondRun.save(appearance(second), start).ok);
    QVERIFY(thirdRun.save(start, start).ok);
    QTEST(readAllBytes(path), "merged");
}

void StorageTest::stagedWritesChangeNothingUntilCommitted()
{
    QTemporaryDir dir;
    const QString kept = dir.filePath(u"kept.html"_s), fresh = dir.filePath(u"new.html"_s);
    QVERIFY(writeBytes(kept, "old"));
    QVERIFY(QFile::setPermissions(kept, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
    {
        StagedWrites abandoned;
        QVERIFY(abandoned.stage(kept, "lost").ok && abandoned.stage(fresh, "lost").ok);
        QCOMPARE(readAllBytes(kept), QByteArray("old"));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"kept.html"_s});
    StagedWrites writes;
    QVERIFY(writes.stage(kept, "new") .ok && writes.stage(fresh, "fresh").ok);
    QVERIFY(!writes.stage(dir.filePath(u"gone/x.html"_s), "x").ok);
    QCOMPARE(readAllBytes(kept), QByteArray("old"));
    QVERIFY(writes.commit().ok);
    QCOMPARE((QByteArrayList{readAllBytes(kept), readAllBytes(fresh)}), (QByteArrayList{"new", "fresh"}));
    QCOMPARE(QFileInfo(kept).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteGroup), QFileDevice::ReadOther);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void StorageTest::settingsLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("written"); // with 5, Def, 12, False, False, 8 for what is missing
    QTest::newRow("plain") << u"16777215,Face,9,False,True,0"_s << u"16777215,Face,9,False,True,0"_s;
    QTest::newRow("fraction") << u"0,F,10.50,true,FALSE,-2147483643"_s << u"0,F,10.5,True,False,-2147483643"_s;
    QTest::newRow("four digits") << u"1,F,7.12345,True,True,1"_s << u"1,F,7.1235,True,True,1"_s;
    QTest::newRow("three fields") << u"1,F,8\r\nmore"_s << u"1,F,8,False,False,8"_s;
    QTest::newRow("bad values") << u"x,,abc,yes,no,99999999999"_s << u"5,Def,12,False,False,8"_s;
    // Face names a formatter would substitute into, or quote, come back as they are.
    for (const QString &face : {u"My%1Font"_s, u"%5 %6 %%"_s, u"\"quoted\" face"_s, u"ＭＳ ゴシック"_s, u"a%1b%2c%3d%4e%5"_s}) {
        const QString line = u"-2147483643,"_s + face + u",10.5,True,False,12345"_s;
        QTest::newRow(qPrintable(face)) << line << line;
    }
}

void StorageTest::settingsLine()
{
    QFETCH(QString, line);
    QFETCH(QString, written);
    const SettingsFields f = parseSettingsLine(line);
    const EditorAppearance a{f.BackColor.value_or(5), f.FaceName.value_or(u"Def"_s), f.Size.value_or(12),
                             f.Bold.value_or(false),  f.Italic.value_or(false),                f.ForeColor.value_or(8)};
    QCOMPARE(formatSettingsLine(a), written);
}

QTEST_GUILESS_MAIN(StorageTest)
#include "StorageTest.moc"
